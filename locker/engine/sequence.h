#pragma once

#include <QtGlobal>

class ChangeLabel;
class LockerWindow;
class QString;
class QTimer;

// Shared by the unlock and lock sequences, which count timer ticks in an invisible label.

// One tick: the counter goes up by one, which runs the counter's change handler at once.
void advanceCounter(ChangeLabel &counter);

// Keeps the timer running while a script has been started (a non-zero process id), and stops it
// otherwise. A running timer keeps its rhythm.
void keepTimerWhileStarted(QTimer &timer, qint64 processId);

// The failure of either sequence: its script could not be started or was gone before its time.
// Stops the timer first, so that no tick runs another step while the messages are open, then
// names the missing shipped file and says how the program ends.
void reportMissingScript(LockerWindow &w, QTimer &timer, const QString &shipped,
                         const QString &ending);
