#include "common/settings.h"

#include "common/atomicfile.h"
#include "common/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString configHome() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

IniFile readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return IniFile::parse(file.readAll());
}

// Holds an exclusive lock on the settings file's companion lock file while it lives, so that
// the read, change and write of one process never interleave with another's.
class WriterLock {
public:
    explicit WriterLock(const QString &settingsPath)
        : m_fd(::open(QFile::encodeName(settingsPath + QStringLiteral(".lock")).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~WriterLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Reads the file afresh under the writer lock, lets change() alter it and writes it back when
// change() reports a change.
bool updateFile(const QString &appName, const std::function<bool(IniFile &)> &change) {
    const QString path = settingsFilePath(appName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const WriterLock lock(path);
    if (!lock.held())
        return false;
    IniFile file = readFile(path);
    if (!change(file))
        return false;
    return writeFileAtomically(path, file.serialize());
}

} // namespace

QString settingsFilePath(const QString &appName) {
    return configHome() + QStringLiteral("/tarvolen/") + appName.toLower() + QStringLiteral(".ini");
}

QString GetSetting(const QString &appName, const QString &section, const QString &key) {
    return readFile(settingsFilePath(appName)).value(section, key);
}

bool SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value) {
    return updateFile(appName, [&](IniFile &file) {
        file.setValue(section, key, value);
        return true;
    });
}

bool DeleteSetting(const QString &appName, const QString &section) {
    return updateFile(appName, [&](IniFile &file) { return file.removeSection(section); });
}

QString SettingsSection(const QString &programFolder) {
    return MakeCode(programFolder);
}
