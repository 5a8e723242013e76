#include "tests/support/fakeshell.h"

#include "platform/core/files.h"

Shell::OpenResult FakeShell::open(const QString &path) {
    opened.append(path);
    return pathExists(path) ? nextOpenResult : OpenResult::NotFound;
}

bool FakeShell::startProgram(const QString &program, const QString &workingDirectory) {
    started.append({program, workingDirectory});
    return true;
}
