#include "tests/cipher/zentilfolder.h"

#include "common/makecode.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>

ZentilFolder::ZentilFolder(const QString &password) {
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/zentil");
    QFile::copy(built, path(QStringLiteral("zentil")));
    QFile::setPermissions(path(QStringLiteral("zentil")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setSetting(QStringLiteral("Psetting"), MakeCode(password));
    QDir().mkpath(locker());
}

QProcess *ZentilFolder::start(const QString &mode) const {
    auto *process = new QProcess;
    process->start(path(QStringLiteral("zentil")), {mode});
    process->waitForStarted();
    return process;
}

int ZentilFolder::run(const QString &mode) {
    QProcess process;
    process.start(path(QStringLiteral("zentil")), {mode});
    process.waitForFinished(120000);
    output = process.readAllStandardOutput();
    return process.exitCode();
}

QString ZentilFolder::locker(const QString &name) const {
    return name.isEmpty() ? path(QStringLiteral("Locker")) : path(QStringLiteral("Locker/") + name);
}

void ZentilFolder::put(const QString &name, const QByteArray &contents) const {
    writeFile(QStringLiteral("Locker/") + name, contents);
}

QMap<QString, QByteArray> ZentilFolder::contents() const {
    QMap<QString, QByteArray> files;
    QDirIterator it(locker(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (QFileInfo(file).isSymLink())
            continue;
        QFile f(file);
        // A run at work may remove its temporary file meanwhile.
        if (!f.open(QIODevice::ReadOnly))
            continue;
        files.insert(QDir(locker()).relativeFilePath(file), f.readAll());
    }
    return files;
}

QString ZentilFolder::errorNote() const {
    QFile note(locker(QStringLiteral("zentil-errors.txt")));
    return note.open(QIODevice::ReadOnly) ? QString::fromUtf8(note.readAll()) : QString();
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QMap<QString, QByteArray> awkwardTree() {
    const qsizetype chunk = 64 * 1024;
    return {
        {"empty", {}},
        {"one", "x"},
        {"chunk-1", randomBytes(chunk - 1)},
        {"chunk", randomBytes(chunk)},
        {"chunk+1", randomBytes(chunk + 1)},
        {"several MiB", randomBytes(3 * 1024 * 1024 + 17)},
        {"with \"quotes\" and 'blanks'", "quoted"},
        {"new\nline", "newline"},
        {QString::fromUtf8("\u00e9t\u00e9 \u65e5\u672c.txt"), "unicode"},
        {"deep/er/still/nested.txt", randomBytes(1000)},
        {".hidden", "hidden"},
    };
}
