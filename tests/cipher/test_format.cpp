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
QString decrypted(const QByteArray &bytes, const std::string &password) {
    zentil::KeyStore keys(password);
    const int in = memoryFile(bytes), out = memoryFile({});
    const std::string error = zentil::decryptStream(in, out, keys);
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
};

// Key limits are refused before any key is derived: crafted ones would cost the machine's memory
// and time, and a change of their low bits would otherwise go unnoticed.
void TestFormat::limitsOtherThanOursAreRefusedAtOnce() {
    const QByteArray good = encrypted("plain", "secret");
    const quint64 ours = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    const quint64 limits[][2] = {{4, 1ull << 30}, {2, ours + 1}, {3, ours}, {1, 8192}};
    for (const auto &limit : limits) {
        QByteArray crafted = good;
        putU64(crafted, 8, limit[0]);
        putU64(crafted, 16, limit[1]);
        QCOMPARE(decrypted(crafted, "secret"),
                 QStringLiteral("key limits that zentil never writes"));
    }
    QCOMPARE(decrypted(good, "secret"), QStringLiteral("plain"));
}

QTEST_GUILESS_MAIN(TestFormat)
#include "test_format.moc"
