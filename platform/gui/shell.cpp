#include "platform/gui/shell.h"

#include "platform/core/files.h"
#include "platform/gui/sessionhold.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

Shell::OpenResult DesktopShell::open(const QString &path) {
    // The desktop reports success for a missing path too, so the test comes first.
    if (!pathExists(path))
        return OpenResult::NotFound;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? OpenResult::Opened
                                                                : OpenResult::Failed;
}

bool DesktopShell::startProgram(const QString &program, const QString &workingDirectory) {
    return QProcess::startDetached(program, {}, workingDirectory);
}

std::unique_ptr<SessionHold> DesktopShell::holdSession(const QString &lockScript,
                                                       const QString &reason) {
    return std::make_unique<DesktopSessionHold>(lockScript, reason);
}
