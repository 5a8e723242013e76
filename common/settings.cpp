#include "common/settings.h"

#include "common/atomicfile.h"
#include "common/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString configHome() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

// The whole file; an absent file is empty. Nothing when the file exists but cannot be read:
// writing then would lose everything in it.
std::optional<QByteArray> readBytes(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::optional(QByteArray()) : std::nullopt;
    QByteArray contents;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        contents.append(buffer, n);
    }
    ::close(fd);
    return n == 0 ? std::optional(contents) : std::nullopt;
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
    const std::optional<QByteArray> text = readBytes(path);
    if (!text)
        return false;
    IniFile file = IniFile::parse(*text);
    if (!change(file))
        return false;
    return writeFileAtomically(path, file.serialize());
}

} // namespace

QString settingsFilePath(const QString &appName) {
    return configHome() + QStringLiteral("/tarvolen/") + appName.toLower() + QStringLiteral(".ini");
}

QString GetSetting(const QString &appName, const QString &section, const QString &key) {
    return IniFile::parse(readBytes(settingsFilePath(appName)).value_or(QByteArray()))
        .value(section, key);
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
