#include "common/atomicfile.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool writeAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

bool syncFolder(const QByteArray &folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Taken apart by hand rather than by QFileInfo, which would resolve ".." in the text of the path
// and so leave the folder that a symbolic link on the way points into.
QString folderOf(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// ".<name of path>." in the folder of path: the start of the name of a temporary beside it.
QString temporaryStem(const QString &path) {
    return folderOf(path) + QStringLiteral("/.") + path.mid(path.lastIndexOf(u'/') + 1) + u'.';
}

// Fills the new temporary file open at fd, closes it and renames it over target.
bool finishReplacing(int fd, const QByteArray &temporary, const QString &target,
                     const QByteArray &data) {
    const bool written = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
                         writeAll(fd, data.constData(), static_cast<std::size_t>(data.size())) &&
                         ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed ||
        ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return syncFolder(QFile::encodeName(folderOf(target)));
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &data) {
    QByteArray temporary = QFile::encodeName(temporaryStem(path) + QStringLiteral("XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    return fd >= 0 && finishReplacing(fd, temporary, path, data);
}

bool writeFileAtomicallyVia(const QString &path, const QString &temporary, const QByteArray &data) {
    const QByteArray name = QFile::encodeName(temporary);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    return fd >= 0 && finishReplacing(fd, name, path, data);
}

QString temporaryNameBeside(const QString &path) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = temporaryStem(path);
    for (int i = 0; i < 6; ++i)
        name +=
            QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return name;
}
