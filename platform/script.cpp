#include "platform/script.h"

#include <QFile>
#include <QProcess>

#include <unistd.h>

qint64 startHiddenScript(const QString &scriptPath) {
    // /bin/sh would start, and fail, for a script that is not there: test it first.
    if (::access(QFile::encodeName(scriptPath).constData(), R_OK) != 0)
        return 0;
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({scriptPath});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    // A detached start runs the script in a session of its own, so closing this program or its
    // terminal never stops a cipher run half-way.
    return process.startDetached(&pid) ? pid : 0;
}
