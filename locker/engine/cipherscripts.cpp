#include "locker/engine/cipherscripts.h"

namespace {

QString inFolder(const QString &programFolder, const QString &name) {
    return programFolder + u'/' + name;
}

} // namespace

void prepareScript(const QString &programFolder, const CipherScript &script) {
    const QString runnable = inFolder(programFolder, script.runnable);
    // A short copy, as a full disk leaves, must never run: without it the start finds no script
    // and the sequence ends as for a missing one.
    if (copyFileOver(inFolder(programFolder, script.shipped), runnable) != FileError::None) {
        removeFile(runnable);
        return;
    }
    setHiddenAttributes(runnable);
}

std::unique_ptr<ScriptRun> startScript(const QString &programFolder, const CipherScript &script) {
    return ScriptRun::start(inFolder(programFolder, script.runnable));
}

void removeScript(const QString &programFolder, const CipherScript &script) {
    const QString runnable = inFolder(programFolder, script.runnable);
    setNormalAttributes(runnable);
    removeFile(runnable);
}
