#include "common/foldersettings.h"
#include "common/settings.h"
#include "tests/support/testfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// Run as "--writer <section> <first> <count>", the program writes keys k<first>..k<first+count-1>
// of one section, as a second process would.
static int runWriter(const QStringList &args) {
    const QString section = args.at(2);
    const int first = args.at(3).toInt();
    const int count = args.at(4).toInt();
    for (int i = first; i < first + count; ++i) {
        if (!SaveSetting(kSettingsApp, section, QStringLiteral("k%1").arg(i), QString::number(i)))
            return 1;
    }
    return 0;
}

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void readsAbsentAsEmpty();
    void namesIgnoreLetterCase();
    void keepsValuesExactly();
    void deletesOneSectionAndReportsAnAbsentOne();
    void keepsTheSettingsOfOtherFolders();
    void anotherProcessSeesAWriteAtOnce();
    void twoProcessesWritingAtOnceLoseNothing();
    void sectionIsMakeCodeOfTheFolder();
    void unreadableFileFailsTheWriteAndStaysUntouched_data();
    void unreadableFileFailsTheWriteAndStaysUntouched();
    void keepsEveryByteItDoesNotOwn_data();
    void keepsEveryByteItDoesNotOwn();
    void manySectionsAreReadAndWritten();
    void removesOnlyTheTemporariesItMade();
    void writesThroughASymbolicLink_data();
    void writesThroughASymbolicLink();
    void sectionDiffersForEveryDifferenceButCase_data();
    void sectionDiffersForEveryDifferenceButCase();
    void aFoldedSectionPassesToOneFolderOnly_data();
    void aFoldedSectionPassesToOneFolderOnly();

private:
    QProcess *startWriter(const QString &section, int first, int count);
};

void TestSettings::readsAbsentAsEmpty() {
    TestFolder folder;
    QCOMPARE(GetSetting("Vemb", "nosuch", "Psetting"), QString());
    folder.setSetting("Files", "1");
    QCOMPARE(folder.setting("Psetting"), QString());
    QCOMPARE(GetSetting("Other", SettingsSection(folder.programFolder()), "Files"), QString());
}

void TestSettings::namesIgnoreLetterCase() {
    TestFolder folder;
    const QString section = SettingsSection(folder.programFolder());
    QVERIFY(SaveSetting("vemb", section, "Files", "0"));
    QCOMPARE(GetSetting("Vemb", section, "Files"), "0");
    QCOMPARE(GetSetting("VEMB", section.toUpper(), "files"), "0");
    QVERIFY(SaveSetting("Vemb", section, "FILES", "1"));
    QCOMPARE(GetSetting("vemb", section, "Files"), "1");
    // One value, under the spelling of its first write.
    QCOMPARE(folder.settingsFileContents().count("iles="), 1);
    QVERIFY(folder.settingsFileContents().contains("Files=1"));
}

void TestSettings::keepsValuesExactly() {
    TestFolder folder;
    const QStringList values = {"in ",         " out",         "a=b",   "[x]",
                                "back\\slash", "two\r\nlines", "\u00e9"};
    for (const QString &value : values) {
        folder.setSetting("Rmove", value);
        QCOMPARE(folder.setting("Rmove"), value);
    }
    // Keys too: one that would begin a comment, and an empty one.
    for (const QString &key : {QStringLiteral(";k"), QStringLiteral("#k"), QString()}) {
        folder.setSetting(key, "v");
        QCOMPARE(folder.setting(key), "v");
    }
}

void TestSettings::deletesOneSectionAndReportsAnAbsentOne() {
    TestFolder folder;
    const QString section = SettingsSection(folder.programFolder());
    folder.setSetting("Psetting", "l97");
    folder.setSetting("Files", "1");
    QVERIFY(DeleteSetting("Vemb", section));
    QCOMPARE(folder.setting("Psetting"), QString());
    QCOMPARE(folder.setting("Files"), QString());
    QVERIFY(!folder.hasSection());
    QVERIFY(!DeleteSetting("Vemb", section));
}

void TestSettings::keepsTheSettingsOfOtherFolders() {
    TestFolder folder;
    SaveSetting("Vemb", SettingsSection("/other"), "Psetting", "l98");
    folder.setSetting("Psetting", "l97");
    DeleteSetting("Vemb", SettingsSection(folder.programFolder()));
    QCOMPARE(GetSetting("Vemb", SettingsSection("/other"), "Psetting"), "l98");
}

QProcess *TestSettings::startWriter(const QString &section, int first, int count) {
    auto *process = new QProcess(this);
    process->start(QCoreApplication::applicationFilePath(),
                   {"--writer", section, QString::number(first), QString::number(count)});
    return process;
}

void TestSettings::anotherProcessSeesAWriteAtOnce() {
    TestFolder folder;
    QProcess *writer = startWriter("shared", 0, 1);
    QVERIFY(writer->waitForFinished());
    QCOMPARE(writer->exitCode(), 0);
    QCOMPARE(GetSetting("Vemb", "shared", "k0"), "0");
    // And the other way round, with the value overwritten in between.
    QVERIFY(SaveSetting("Vemb", "shared", "k0", "x"));
    QProcess reader;
    reader.start("/bin/cat", {settingsFilePath("Vemb")});
    QVERIFY(reader.waitForFinished());
    QVERIFY(reader.readAll().contains("k0=x"));
}

void TestSettings::twoProcessesWritingAtOnceLoseNothing() {
    TestFolder folder;
    const int perWriter = 60;
    QProcess *a = startWriter("shared", 0, perWriter);
    QProcess *b = startWriter("shared", perWriter, perWriter);
    QVERIFY(a->waitForFinished(60000));
    QVERIFY(b->waitForFinished(60000));
    QCOMPARE(a->exitCode(), 0);
    QCOMPARE(b->exitCode(), 0);
    for (int i = 0; i < 2 * perWriter; ++i)
        QCOMPARE(GetSetting("Vemb", "shared", QStringLiteral("k%1").arg(i)), QString::number(i));
}

void TestSettings::sectionIsMakeCodeOfTheFolder() {
    // Paths of code-page characters keep the names under which their settings are stored.
    QCOMPARE(SettingsSection("/apps"), "l47l97l112l112l115");
    QCOMPARE(SettingsSection(QStringLiteral("/caf\u00E9")), "l47l99l97l102l233");
}

void TestSettings::sectionDiffersForEveryDifferenceButCase_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("same");
    QTest::newRow("capitals A to Z") << "/apps"
                                     << "/APPS" << false;
    QTest::newRow("one more character") << "/apps"
                                        << "/apps2" << false;
    QTest::newRow("two Cyrillic names")
        << QStringLiteral("/home/u/\u041F\u0430\u043F\u043A\u0430")
        << QStringLiteral("/home/u/\u041F\u043E\u0447\u0442\u0430") << false;
    QTest::newRow("a Cyrillic capital")
        << QStringLiteral("/x/\u0416") << QStringLiteral("/x/\u0436") << false;
    QTest::newRow("beyond the BMP")
        << QStringLiteral("/x/\U0001F600") << QStringLiteral("/x/\U0001F603") << false;
    QTest::newRow("outside against a table character")
        << QStringLiteral("/x/\u0080") << QStringLiteral("/x/\u20AC") << false;
    QTest::newRow("outside against a question mark")
        << QStringLiteral("/x/\u0416") << "/x/?" << false;
    QTest::newRow("two lone surrogates")
        << QString(QChar(0xD800)) << QString(QChar(0xDF00)) << false;
}

void TestSettings::sectionDiffersForEveryDifferenceButCase() {
    QFETCH(QString, folder);
    QFETCH(QString, other);
    QFETCH(bool, same);
    QCOMPARE(SettingsSection(folder) == SettingsSection(other), same);
}

void TestSettings::aFoldedSectionPassesToOneFolderOnly_data() {
    QTest::addColumn<QStringList>("folders"); // made and started one after the other
    QTest::addColumn<QStringList>("passwords");
    QTest::newRow("the only folder") << QStringList{"Vault"} << QStringList{"l97"};
    QTest::newRow("two spellings") << QStringList{"Vault", "VAULT"} << QStringList{"l97", ""};
    QTest::newRow("its own name") << QStringList{"vault", "Vault"} << QStringList{"l97", ""};
}

void TestSettings::aFoldedSectionPassesToOneFolderOnly() {
    QFETCH(QStringList, folders);
    QFETCH(QStringList, passwords);
    TestFolder settingsHome;
    // Beside it, a fresh folder whose path has no capitals A to Z, as a folded path has none.
    const QString base = settingsHome.root().toLower() + "-case/";
    QVERIFY(SaveSetting(kSettingsApp, SettingsSection(base + "vault"), "Psetting", "l97"));
    QStringList found;
    for (const QString &name : folders)
        found << (QDir().mkpath(base + name) ? FolderSettings(base + name).password() : "?");
    QDir(base).removeRecursively();
    QCOMPARE(found, passwords);
}

namespace {

void writeRaw(const QString &path, const QByteArray &contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray readRaw(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList temporariesIn(const QString &folder) {
    return QDir(folder).entryList({".*.ini.??????"}, QDir::Files | QDir::Hidden | QDir::System);
}

QByteArray manySections(int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "[s" + QByteArray::number(i) + "]\nPsetting=l97l98\nFiles=1\n\n";
    return text;
}

} // namespace

void TestSettings::unreadableFileFailsTheWriteAndStaysUntouched_data() {
    QTest::addColumn<QString>("linkTo"); // empty: the file itself is made unreadable
    QTest::newRow("mode 000") << QString();
    // Reading this process's memory at offset 0 fails with EIO, even for root.
    QTest::newRow("read error") << "/proc/self/mem";
}

void TestSettings::unreadableFileFailsTheWriteAndStaysUntouched() {
    QFETCH(QString, linkTo);
    if (linkTo.isEmpty() && ::geteuid() == 0)
        QSKIP("root reads a file of mode 000");
    TestFolder folder;
    const QString path = settingsFilePath("Vemb");
    const QByteArray native = QFile::encodeName(path);
    const QByteArray before = "[other]\nPsetting=l97\n";
    writeRaw(path, before);
    if (linkTo.isEmpty())
        QVERIFY(::chmod(native.constData(), 0) == 0);
    else
        QVERIFY(::unlink(native.constData()) == 0 &&
                ::symlink(QFile::encodeName(linkTo).constData(), native.constData()) == 0);

    QVERIFY(!SaveSetting("Vemb", "mine", "Files", "1"));
    QVERIFY(!DeleteSetting("Vemb", "other"));
    if (linkTo.isEmpty()) {
        ::chmod(native.constData(), 0600);
        QCOMPARE(readRaw(path), before);
    } else {
        QCOMPARE(QFileInfo(path).symLinkTarget(), linkTo);
    }
    QCOMPARE(temporariesIn(QFileInfo(path).absolutePath()), QStringList());
}

void TestSettings::keepsEveryByteItDoesNotOwn_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key"); // empty: the section is deleted
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("comments") << QByteArray("; mine\n[s]\n# k=0\nk=1\n") << "k"
                              << QByteArray("; mine\n[s]\n# k=0\nk=2\n");
    QTest::newRow("Latin-1 elsewhere") << QByteArray("[t]\nk=caf\xe9\n[s]\nk=1\n") << "k"
                                       << QByteArray("[t]\nk=caf\xe9\n[s]\nk=2\n");
    QTest::newRow("header after garbage")
        << QByteArrayLiteral("[t]\nk=0\n\0\0junk[s]\nk=1\n") << "new"
        << QByteArrayLiteral("[t]\nk=0\n\0\0junk[s]\nk=1\nnew=2\n");
    QTest::newRow("no final line break")
        << QByteArray("[t]\nk=0") << "k" << QByteArray("[t]\nk=0\n[s]\nk=2\n");
    QTest::newRow("CR LF lines") << QByteArray("[s]\r\nk=1\r\n") << "k"
                                 << QByteArray("[s]\r\nk=2\r\n");
    QTest::newRow("deleted section") << QByteArray("; mine\n[s]\nk=1\n; about t\n\n[t]\nk=0\n")
                                     << QString() << QByteArray("; mine\n; about t\n[t]\nk=0\n");
}

void TestSettings::keepsEveryByteItDoesNotOwn() {
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    TestFolder folder;
    writeRaw(settingsFilePath("Vemb"), before);
    if (key.isEmpty()) {
        QVERIFY(DeleteSetting("Vemb", "s"));
    } else {
        QVERIFY(SaveSetting("Vemb", "s", key, "2"));
        QCOMPARE(GetSetting("Vemb", "s", key), "2");
    }
    QCOMPARE(readRaw(settingsFilePath("Vemb")), after);
}

// The reading once searched the sections one by one for every line; with this many it took minutes.
void TestSettings::manySectionsAreReadAndWritten() {
    TestFolder folder;
    writeRaw(settingsFilePath("Vemb"), manySections(40000));
    QCOMPARE(GetSetting("Vemb", "S39999", "psetting"), "l97l98");
    QVERIFY(SaveSetting("Vemb", "s39999", "Rmove", "out"));
    QCOMPARE(GetSetting("Vemb", "s39999", "Rmove"), "out");
}

void TestSettings::removesOnlyTheTemporariesItMade() {
    TestFolder folder;
    const QString path = settingsFilePath("Vemb");
    const QString configFolder = QFileInfo(path).absolutePath();
    // A large file keeps each write busy long enough to be caught half-way.
    writeRaw(path, manySections(20000));
    QStringList leftovers;
    for (int attempt = 0; attempt < 200 && leftovers.isEmpty(); ++attempt) {
        QProcess *writer = startWriter("shared", 0, 1000);
        QVERIFY(writer->waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (temporariesIn(configFolder).isEmpty() && waited.elapsed() < 10000)
            QThread::usleep(200);
        ::kill(static_cast<pid_t>(writer->processId()), SIGKILL);
        QVERIFY(writer->waitForFinished());
        leftovers = temporariesIn(configFolder);
    }
    QCOMPARE(leftovers.size(), 1);
    const QString foreign = configFolder + "/.vemb.ini.Abc123";
    writeRaw(foreign, "someone else's");

    QVERIFY(SaveSetting("Vemb", "shared", "k", "1"));
    QCOMPARE(temporariesIn(configFolder), QStringList{".vemb.ini.Abc123"});
}

void TestSettings::writesThroughASymbolicLink_data() {
    QTest::addColumn<QString>("linkTo");
    QTest::addColumn<bool>("targetExists");
    // Relative to the settings file's folder, or below the test's root when it begins with "/".
    QTest::newRow("relative") << "../../elsewhere/real.ini" << true;
    QTest::newRow("absolute") << "/elsewhere/real.ini" << true;
    QTest::newRow("dangling") << "../../elsewhere/real.ini" << false;
}

void TestSettings::writesThroughASymbolicLink() {
    QFETCH(QString, linkTo);
    QFETCH(bool, targetExists);
    TestFolder folder;
    const QString path = settingsFilePath("Vemb");
    const QString target = folder.root() + "/elsewhere/real.ini";
    writeRaw(target, "[t]\nk=0\n");
    if (!targetExists)
        QFile::remove(target);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString link = linkTo.startsWith('/') ? folder.root() + linkTo : linkTo;
    QVERIFY(::symlink(QFile::encodeName(link).constData(), QFile::encodeName(path).constData()) ==
            0);

    QVERIFY(SaveSetting("Vemb", "s", "k", "1"));
    QVERIFY(QFileInfo(path).isSymLink());
    QCOMPARE(readRaw(target), QByteArray(targetExists ? "[t]\nk=0\n[s]\nk=1\n" : "[s]\nk=1\n"));
    QCOMPARE(GetSetting("Vemb", "s", "k"), "1");
    QCOMPARE(temporariesIn(QFileInfo(target).absolutePath()), QStringList());
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == "--writer")
        return runWriter(app.arguments());
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_settings.moc"
