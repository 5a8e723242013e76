#include "common/settings.h"
#include "tests/support/testfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

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
    QCOMPARE(SettingsSection("/Apps"), "l47l97l112l112l115");
    QCOMPARE(SettingsSection("/apps"), SettingsSection("/APPS"));
    QVERIFY(SettingsSection("/apps") != SettingsSection("/apps2"));
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == "--writer")
        return runWriter(app.arguments());
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_settings.moc"
