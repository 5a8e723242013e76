#include "tests/cipher/zentilfolder.h"

#include "common/makecode.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>

#include <csignal>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>

ZentilFolder::ZentilFolder(const QString &password) {
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/zentil");
    QFile::copy(built, path(QStringLiteral("zentil")));
    QFile::setPermissions(path(QStringLiteral("zentil")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setSetting(QStringLiteral("Psetting"), MakeCode(password));
    QDir().mkpath(locker());
}

QProcess *ZentilFolder::start(const QString &mode, const QProcessEnvironment &extra) const {
    auto *process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(root());
    // Run as an ordinary user would, even where the tests run as root: without the power to
    // read or write what the file modes forbid.
    process->setChildProcessModifier([limit = m_openFilesLimit, size = m_fileSizeLimit] {
        ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
        ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
        const rlimit files = {rlim_t(limit), rlim_t(limit)}, sizes = {rlim_t(size), rlim_t(size)};
        if (limit > 0)
            ::setrlimit(RLIMIT_NOFILE, &files);
        // A write past the bound then fails with EFBIG, as on a file system that has it.
        if (size > 0 && ::setrlimit(RLIMIT_FSIZE, &sizes) == 0)
            std::signal(SIGXFSZ, SIG_IGN);
    });
    process->start(path(QStringLiteral("zentil")), {mode});
    process->waitForStarted();
    return process;
}

int ZentilFolder::run(const QString &mode, const QProcessEnvironment &extra) {
    const std::unique_ptr<QProcess> process(start(mode, extra));
    process->waitForFinished(120000);
    output = process->readAllStandardOutput();
    return process->exitCode();
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
    // When a file of the user's holds the usual name, the note takes the next free one.
    for (const QString &name :
         {QStringLiteral("zentil-errors.txt"), QStringLiteral("zentil-errors-2.txt")}) {
        QFile note(locker(name));
        if (note.open(QIODevice::ReadOnly)) {
            const QByteArray text = note.readAll();
            if (text.startsWith("zentil could not"))
                return QString::fromUtf8(text);
        }
    }
    return {};
}

QByteArray randomBytes(qsizetype size, QRandomGenerator &random) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = static_cast<char>(random.bounded(256));
    return bytes;
}

QProcessEnvironment preloaded(const QString &library) {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LD_PRELOAD"), library);
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    return environment;
}

QProcessEnvironment faulty(const char *call, const QString &at, int error, int signal) {
    QProcessEnvironment fault = preloaded(FAULT_SHIM);
    fault.insert("FAULT_CALL", call);
    fault.insert("FAULT_AT", at);
    fault.insert("FAULT_ERRNO", QString::number(error));
    if (signal != 0)
        fault.insert("FAULT_SIGNAL", QString::number(signal));
    return fault;
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
