#include "platform/core/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

FileError lastError() {
    return fileErrorFromErrno(errno);
}

FileError setMode(const QString &path, mode_t mode) {
    return ::chmod(native(path).constData(), mode) == 0 ? FileError::None : lastError();
}

} // namespace

FileError fileErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return FileError::None;
    case ENOENT:
    case ENOTDIR:
        return FileError::NotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EROFS:
    case ETXTBSY:
    case EWOULDBLOCK:
        return FileError::Access;
    default:
        return FileError::Other;
    }
}

FileError copyFileOver(const QString &source, const QString &destination) {
    QFile in(source);
    if (!in.exists())
        return FileError::NotFound;
    if (!in.open(QIODevice::ReadOnly))
        return FileError::Access;
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return FileError::Access;
    const QByteArray data = in.readAll();
    const bool copied = in.error() == QFileDevice::NoError && out.write(data) == data.size();
    // Closing writes out what is still buffered: on a full disk that is where a copy fails.
    out.close();
    return copied && out.error() == QFileDevice::NoError ? FileError::None : FileError::Other;
}

FileError setHiddenAttributes(const QString &path) {
    return setMode(path, S_IRWXU);
}

FileError setNormalAttributes(const QString &path) {
    return setMode(path, S_IRUSR | S_IWUSR);
}

FileError removeFile(const QString &path) {
    return ::unlink(native(path).constData()) == 0 ? FileError::None : lastError();
}

namespace {

// Access while another program holds the file under the in-use lock. A symbolic link is no file
// that anything holds.
FileError whetherInUse(const QString &path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP ? FileError::None : lastError();
    const bool inUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return inUse ? FileError::Access : FileError::None;
}

QStringList entriesOf(DIR *folder, const QString &path) {
    QStringList entries;
    while (const dirent *entry = ::readdir(folder)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            entries << path + u'/' + name;
    }
    return entries;
}

// What is done with each entry of a tree: with a file, or with a folder once its entries are done.
using Visit = FileError (*)(const QString &path, bool isFolder);

// Visits the tree at path, the entries of each folder before the folder, never through a symbolic
// link (a link is visited as a file). Stops at the first access error, which it returns; other
// failures inside are passed over, and the folder's own visit gives the result.
FileError walkTree(const QString &path, Visit visit) {
    const int fd =
        ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR || errno == ELOOP ? visit(path, false) : lastError();
    DIR *folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return FileError::Other;
    }
    const QStringList entries = entriesOf(folder, path);
    ::closedir(folder);
    for (const QString &entry : entries) {
        if (walkTree(entry, visit) == FileError::Access)
            return FileError::Access;
    }
    return visit(path, true);
}

// An entry may go when the folder it is in may be changed and, for a file, nothing holds it.
FileError mayRemove(const QString &path, bool isFolder) {
    if (::access(native(QFileInfo(path).path()).constData(), W_OK | X_OK) != 0)
        return lastError();
    return isFolder ? FileError::None : whetherInUse(path);
}

FileError removeEntry(const QString &path, bool isFolder) {
    if (isFolder)
        return removeDirectory(path) ? FileError::None : lastError();
    return removeFileUnlessInUse(path);
}

} // namespace

FileError removeFileUnlessInUse(const QString &path) {
    const FileError inUse = whetherInUse(path);
    return inUse == FileError::None ? removeFile(path) : inUse;
}

FileError removeFolderUnlessInUse(const QString &path) {
    const FileError checked = walkTree(path, mayRemove);
    return checked == FileError::Access ? checked : walkTree(path, removeEntry);
}

bool holdInUseLock(const QString &path) {
    // The descriptor stays open on purpose: the lock lasts until the process ends.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    return fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) == 0;
}

bool pathExists(const QString &path) {
    struct stat info;
    return ::lstat(native(path).constData(), &info) == 0;
}

bool isEmptyDirectory(const QString &path) {
    const QDir dir(path);
    return dir.exists() &&
           dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool makeDirectory(const QString &path) {
    return ::mkdir(native(path).constData(), 0700) == 0;
}

bool removeDirectory(const QString &path) {
    return ::rmdir(native(path).constData()) == 0;
}
