#pragma once

#include <QByteArrayList>

#include <sys/types.h>

// Starts `/bin/sh` with the given arguments in a session of its own, so that the end of this
// program or of its terminal never stops it, with every signal at its default and none blocked.
// Its standard input and output are the given descriptors, or /dev/null for -1; its standard
// error is /dev/null. Returns the process id, or 0 when it could not be started.
pid_t spawnShell(const QByteArrayList &arguments, int input, int output);
