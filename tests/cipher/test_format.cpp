#include "cipher/format.h"
#include "cipher/keys.h"

#include <QTest>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// A file in memory holding bytes, for the stream functions.
int memoryFile(const QByteArray &bytes) {
    const int fd = ::memfd_create("stream", MFD_CLOEXEC);
    if (::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
        qFatal("cannot fill a memory file");
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

QByteArray contents(int fd) {
    QByteArray bytes(static_cast<qsizetype>(::lseek(fd, 0, SEEK_END)), '\0');
    if (::pread(fd, bytes.data(), static_cast<size_t>(bytes.size()), 0) != bytes.size())
        qFatal("cannot read a memory file");
    return bytes;
}

QByteArray encrypted(const QByteArray &plain, const std::string &password) {
    zentil::KeyStore keys(password);
    const zentil::KeyParameters parameters = zentil::KeyStore::freshParameters();
    const int in = memoryFile(plain), out = memoryFile({});
    zentil::encryptStream(in, out, *keys.keyFor(parameters), parameters);
    const QByteArray bytes = contents(out);
    ::close(in);
    ::close(out);
    return bytes;
}

// Decrypts bytes; returns the plain text, or why it was refused.
QString decrypted(const QByteArray &bytes, zentil::KeyStore &keys) {
    const int in = memoryFile(bytes), out = memoryFile({});
    const std::string error = zentil::decryptStream(in, out, keys).error;
    const QByteArray plain = contents(out);
    ::close(in);
    ::close(out);
    return error.empty() ? QString::fromLatin1(plain) : QString::fromStdString(error);
}

void putU64(QByteArray &bytes, qsizetype at, quint64 value) {
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

} // namespace

class TestFormat : public QObject {
    Q_OBJECT
private slots:
    void limitsOtherThanOursAreRefusedAtOnce();
    void samplesOfEachVersionKeepTheirOutcome();
};

// Key limits are refused before any key is derived: crafted ones would cost the machine's memory
// and time, and a change of their low bits would otherwise go unnoticed.
void TestFormat::limitsOtherThanOursAreRefusedAtOnce() {
    const QByteArray good = encrypted("plain", "secret");
    const quint64 ours = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    const quint64 limits[][2] = {{4, 1ull << 30}, {2, ours + 1}, {3, ours}, {1, 8192}};
    zentil::KeyStore keys("secret");
    for (const auto &limit : limits) {
        QByteArray crafted = good;
        putU64(crafted, 8, limit[0]);
        putU64(crafted, 16, limit[1]);
        QCOMPARE(decrypted(crafted, keys), QStringLiteral("key limits that zentil never writes"));
    }
    QCOMPARE(decrypted(good, keys), QStringLiteral("plain"));
}

// Files written once by each version of the format, whole or damaged, under the stored password
// code of "bench" (another's for wrong-password), with the outcome each must always have. The
// version 2 rows of their own hold the chunk boundaries and the tags that docs/format.md states.
void TestFormat::samplesOfEachVersionKeepTheirOutcome() {
    const QString small = QStringLiteral("a small plain text\n");
    const QString twoChunks = QByteArray("0123456789abcdef").repeated(4375);
    const QByteArray digits = QByteArray("0123456789").repeated(13108);
    const QString truncated = QStringLiteral("the file ends before its last chunk (truncated)");
    const QString unauthentic =
        QStringLiteral("does not authenticate (wrong password or damaged data)");
    const QMap<QString, QString> bothVersions = {
        {"opens", small},
        {"two-chunks", twoChunks},
        {"cut-at-chunk", truncated}, // and so without its final tag
        {"appended", unauthentic},   // the bytes join the last chunk
        {"unknown-version", QStringLiteral("made by a newer version of zentil")},
        {"reserved-changed", QStringLiteral("a header that zentil never writes")},
        {"limits", QStringLiteral("key limits that zentil never writes")},
        {"wrong-password", unauthentic},
        {"header-changed", unauthentic},
    };
    QMap<QString, QString> outcomes = {
        {"v2-empty", ""},
        {"v2-full-chunk", digits.first(65536)},
        {"v2-two-full-chunks", digits.first(131072)},
        {"v2-push-rekey", digits},
        {"v2-empty-final", digits.first(65536)},
        {"v2-short-middle-chunk", unauthentic}, // boundaries come from the size alone
        {"v2-after-final", QStringLiteral("data after the last chunk")},
    };
    for (const char *version : {"v1", "v2"}) {
        for (auto it = bothVersions.begin(); it != bothVersions.end(); ++it)
            outcomes.insert(QStringLiteral("%1-%2").arg(version, it.key()), it.value());
    }
    for (auto it = outcomes.begin(); it != outcomes.end(); ++it) {
        // A store of its own, as a run has: the samples bear more salts than one run derives.
        zentil::KeyStore keys("l98l101l110l99l104");
        const QString name = QStringLiteral("%1/%2.ztl").arg(SAMPLES, it.key());
        QFile sample(name);
        QVERIFY2(sample.open(QIODevice::ReadOnly), qPrintable(name));
        QCOMPARE(decrypted(sample.readAll(), keys), it.value());
    }
}

QTEST_GUILESS_MAIN(TestFormat)
#include "test_format.moc"
