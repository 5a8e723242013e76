#include "common/atomicfile.h"

#include "common/filereplacement.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <utility>

namespace {

// Taken apart by hand rather than by QFileInfo, which would resolve ".." in the text of the path
// and so leave the folder that a symbolic link on the way points into.
QString folderOf(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString &path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

std::string nameIn(const QString &path) {
    return QFile::encodeName(nameOf(path)).toStdString();
}

// ".<name of path>." in the folder of path: the start of the name of a temporary beside it.
QString temporaryStem(const QString &path) {
    return folderOf(path) + QStringLiteral("/.") + nameOf(path) + u'.';
}

// Replaces the file name in the folder dirFd with data through a temporary under the first free
// name of those that temporaries gives.
bool replaceIn(int dirFd, const std::string &name, const FileReplacement::Names &temporaries,
               const QByteArray &data) {
    FileReplacement file(dirFd, name, temporaries);
    return file.fd() >= 0 && ::fchmod(file.fd(), S_IRUSR | S_IWUSR) == 0 &&
           writeAll(file.fd(), data.constData(), static_cast<std::size_t>(data.size())) &&
           file.commitDurably();
}

// Replaces the file at path with data through a temporary under the first free name of those
// that temporaries gives, paths beside it.
bool replaceWith(const QString &path, const std::function<QString()> &temporaries,
                 const QByteArray &data) {
    // Held only to find names in: like a path, it needs no leave to read the folder.
    const Fd folder(
        ::open(QFile::encodeName(folderOf(path)).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() &&
           replaceIn(
               folder.get(), nameIn(path), [&] { return nameIn(temporaries()); }, data);
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &data) {
    return replaceWith(
        path, [&] { return temporaryNameBeside(path); }, data);
}

bool writeFileAtomicallyIn(int dirFd, const std::string &name, const QByteArray &data) {
    const QString path = QFile::decodeName(name.c_str());
    return replaceIn(
        dirFd, name, [&] { return nameIn(temporaryNameBeside(path)); }, data);
}

bool writeFileAtomicallyVia(const QString &path, const QString &temporary, const QByteArray &data) {
    bool given = false;
    return replaceWith(
        path, [&] { return std::exchange(given, true) ? QString() : temporary; }, data);
}

QString temporaryNameBeside(const QString &path) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = temporaryStem(path);
    for (int i = 0; i < 6; ++i)
        name +=
            QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return name;
}
