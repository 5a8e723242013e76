#include "common/settings.h"

#include "common/atomicfile.h"
#include "common/fd.h"
#include "common/inifile.h"
#include "common/writerlock.h"
#include "common/xdgfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The whole file; an absent file is empty. Nothing when the file exists but cannot be read:
// writing then would lose everything in it.
std::optional<QByteArray> readBytes(const QString &path) {
    const Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT ? std::optional(QByteArray()) : std::nullopt;
    QByteArray contents;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        contents.append(buffer, n);
    }
    return n == 0 ? std::optional(contents) : std::nullopt;
}

// The file that path names once symbolic links are followed: a settings file kept elsewhere
// through a link is replaced where it lies, and the link stays.
QString followLinks(QString path) {
    for (int hop = 0; hop < 40; ++hop) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
        if (n <= 0 || n == sizeof target)
            break;
        const QString next = QFile::decodeName(QByteArray(target, n));
        path = next.startsWith(u'/') ? next : path.left(path.lastIndexOf(u'/') + 1) + next;
    }
    return path;
}

// Reads the file afresh under the writer lock, lets change() alter it and writes it back when
// change() reports a change.
bool updateFile(const QString &appName, const std::function<bool(IniFile &)> &change) {
    const QString path = settingsFilePath(appName);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    WriterLock lock(path);
    if (!lock.held())
        return false;
    lock.removeLeftover();
    const QString target = followLinks(path);
    const std::optional<QByteArray> text = readBytes(target);
    if (!text)
        return false;
    IniFile file = IniFile::parse(*text);
    if (!change(file))
        return false;
    const QString temporary = temporaryNameBeside(target);
    if (!lock.recordTemporary(temporary))
        return false;
    const bool written = writeFileAtomicallyVia(target, temporary, file.serialize());
    lock.clearRecord();
    return written;
}

QString capitalsFolded(QString path) {
    for (QChar &c : path) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return path;
}

bool sameFolder(const QString &one, const QString &other) {
    struct stat a {};
    struct stat b {};
    return ::stat(QFile::encodeName(one).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(other).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

QString settingsFilePath(const QString &appName) {
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/tarvolen/") +
           appName.toLower() + QStringLiteral(".ini");
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
    return MakePathCode(programFolder);
}

namespace {

// Whether the section of programFolder is settled: it needs nothing carried over, or has had it.
bool carriedOver(const QString &programFolder) {
    const QString folded = capitalsFolded(programFolder);
    if (folded == programFolder ||
        (QFileInfo(folded).isDir() && !sameFolder(folded, programFolder)))
        return true;
    const QString own = SettingsSection(programFolder);
    const QString former = SettingsSection(folded);
    // Looked at without the writer lock first: nearly always there is nothing to carry over.
    const IniFile file =
        IniFile::parse(readBytes(settingsFilePath(kSettingsApp)).value_or(QByteArray()));
    return file.hasSection(own) || !file.hasSection(former) ||
           updateFile(kSettingsApp,
                      [&](IniFile &current) { return current.renameSection(former, own); });
}

} // namespace

// Settings are read and written through a FolderSettings made for each value: a settled section
// is looked at once in a process, and one that could not be carried over again the next time.
void carryOverFoldedSection(const QString &programFolder) {
    static std::mutex mutex;
    static QSet<QString> settled;
    const QString key = settingsFilePath(kSettingsApp) + u'\n' + programFolder;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!settled.contains(key) && carriedOver(programFolder))
        settled.insert(key);
}
