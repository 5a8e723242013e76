#pragma once

#include "platform/files.h"

#include <QString>

// The contract with the two shipped cipher scripts: a script is copied to a runnable name,
// started as its own hidden process, and deleted again a fixed time later. The program never
// learns what the script did.
struct CipherScript {
    QString shipped;  // the file that ships in the program folder
    QString runnable; // its run-time copy
};

inline const CipherScript kDecryptScript{QStringLiteral("dzentil.kqx"), QStringLiteral("d.bat")};
inline const CipherScript kEncryptScript{QStringLiteral("ezentil.kqx"), QStringLiteral("e.bat")};

// Copies the shipped file over the runnable one and marks it hidden. Failures are left for the
// start to find.
void prepareScript(const QString &programFolder, const CipherScript &script);

// Starts the runnable copy; returns its process id, or 0 when it could not be started.
qint64 startScript(const QString &programFolder, const CipherScript &script);

// Marks the runnable copy normal and deletes it.
FileError removeScript(const QString &programFolder, const CipherScript &script);
