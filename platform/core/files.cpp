#include "platform/core/files.h"

#include <QDir>
#include <QFile>

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

FileError removeFileUnlessInUse(const QString &path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno != ELOOP)
        return lastError();
    if (fd >= 0) {
        const bool inUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        if (inUse)
            return FileError::Access;
    }
    return removeFile(path);
}

FileError removeFolderUnlessInUse(const QString &path) {
    // Never through a symbolic link: a link is deleted as the file it is.
    const int fd =
        ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOTDIR || errno == ELOOP ? removeFileUnlessInUse(path) : lastError();
    DIR *folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return FileError::Other;
    }
    QStringList entries;
    while (const dirent *entry = ::readdir(folder)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            entries << path + u'/' + name;
    }
    ::closedir(folder);
    for (const QString &entry : entries) {
        const FileError error = removeFolderUnlessInUse(entry);
        if (error == FileError::Access)
            return error;
    }
    return removeDirectory(path) ? FileError::None : lastError();
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
