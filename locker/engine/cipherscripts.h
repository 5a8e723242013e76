#pragma once

#include "platform/core/files.h"
#include "platform/core/script.h"

#include <QString>

#include <memory>

// The contract with the two shipped cipher scripts: a script is copied to a runnable name,
// started as its own hidden process, and deleted again a fixed time later. The run is followed
// to its end: its exit status says whether every file is done, and its output reports progress
// (cipher/report.h).
struct CipherScript {
    QString shipped;  // the file that ships in the program folder
    QString runnable; // its run-time copy
};

inline const CipherScript kDecryptScript{QStringLiteral("dzentil.kqx"), QStringLiteral("d.bat")};
inline const CipherScript kEncryptScript{QStringLiteral("ezentil.kqx"), QStringLiteral("e.bat")};

// Copies the shipped file over the runnable one and marks it hidden. A copy that fails is
// removed, so that the start finds no script.
void prepareScript(const QString &programFolder, const CipherScript &script);

// Starts the runnable copy; nothing when it could not be started.
std::unique_ptr<ScriptRun> startScript(const QString &programFolder, const CipherScript &script);

// Marks the runnable copy normal and deletes it, where it is there.
void removeScript(const QString &programFolder, const CipherScript &script);
