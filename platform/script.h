#pragma once

#include <QString>

// Starts a shell script as its own hidden process: `/bin/sh <script>` in a new session, with
// standard input and output on /dev/null, in the current directory, not waited for.
// Returns its process id, or 0 when it could not be started; a missing script is never started.
qint64 startHiddenScript(const QString &scriptPath);
