#pragma once

#include <QtGlobal>

class ChangeLabel;
class LockerWindow;
class QString;
class QTimer;
class ScriptRun;

// Shared by the unlock and lock sequences, which count timer ticks in an invisible label.

// One tick: the counter goes up by one, which runs the counter's change handler at once.
void advanceCounter(ChangeLabel &counter);

// Keeps the timer running while a script has been started (a non-zero process id), and stops it
// otherwise. A running timer keeps its rhythm.
void keepTimerWhileStarted(QTimer &timer, qint64 processId);

// The failure of either sequence: its script could not be started.
// Stops the timer first, so that no tick runs another step while the messages are open, then
// names the missing shipped file and says how the program ends.
void reportMissingScript(LockerWindow &w, QTimer &timer, const QString &shipped,
                         const QString &ending);

// The step after the third tick is the last one of either sequence, and it needs the cipher run
// to have ended. Polls the run on every tick; true when the counter is to stay where it is
// because that step comes next and the run still goes on. Its progress shows meanwhile.
bool holdsLastStep(LockerWindow &w, const ChangeLabel &counter);

// Tells how a cipher run failed: when it went through every file, how many failed and where they
// are named; otherwise that it did not run to its end. done is what the files were to become
// ("decrypted"), left what those that were not are still ("encrypted").
void reportFailedRun(LockerWindow &w, const ScriptRun &run, const QString &done,
                     const QString &left);
