#include "tests/support/testfolder.h"

#include "common/settings.h"
#include "common/temporaryfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The programs refuse a folder whose path contains "temp", so no test folder lies in one: a
// TMPDIR such as /tmp/temp-x is passed over for /tmp, and a random name that happens to spell
// it is drawn again.
QTemporaryDir freshDirectory() {
    const QString parent =
        IsTemporaryFolder(QDir::tempPath()) ? QStringLiteral("/tmp") : QDir::tempPath();
    for (;;) {
        QTemporaryDir dir(parent + QStringLiteral("/tarvolen-test-XXXXXX"));
        if (!IsTemporaryFolder(dir.path()))
            return dir;
    }
}

} // namespace

TestFolder::TestFolder(const QString &folderName)
    : m_dir(freshDirectory()), m_programFolder(m_dir.path() + u'/' + folderName),
      m_oldConfigHome(qgetenv("XDG_CONFIG_HOME")), m_oldDataHome(qgetenv("XDG_DATA_HOME")) {
    QDir().mkpath(m_programFolder);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/data")));
}

TestFolder::~TestFolder() {
    qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
    qputenv("XDG_DATA_HOME", m_oldDataHome);
}

QString TestFolder::setting(const QString &key) const {
    return GetSetting(kSettingsApp, SettingsSection(m_programFolder), key);
}

void TestFolder::setSetting(const QString &key, const QString &value) const {
    SaveSetting(kSettingsApp, SettingsSection(m_programFolder), key, value);
}

bool TestFolder::hasSection() const {
    return settingsFileContents().contains(
        (u'[' + SettingsSection(m_programFolder) + u']').toUtf8());
}

QByteArray TestFolder::settingsFileContents() const {
    QFile file(settingsFilePath(kSettingsApp));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestFolder::writeFile(const QString &name, const QByteArray &contents) const {
    const QString full = path(name);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

QByteArray TestFolder::readFile(const QString &name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
