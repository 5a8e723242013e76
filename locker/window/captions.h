#pragma once

#include <QString>

// Captions that are also the window's mode: handlers decide what an event means by comparing
// them exactly, so each is written once, here.
namespace Caption {
inline const QString OkVerify = QStringLiteral("OK");
inline const QString OkSet = QStringLiteral("Set");
inline const QString OkConfirm = QStringLiteral("Confirm");
inline const QString CancelExit = QStringLiteral("Exit");
inline const QString CancelBack = QStringLiteral("Back");

inline const QString EnterPassword = QStringLiteral("Enter Password");
inline const QString SetNewPassword = QStringLiteral("Set  new Password");
inline const QString EnterAgain = QStringLiteral("Enter Again to Confirm");
inline const QString PleaseWait = QStringLiteral("Please Wait...");
inline const QString MenuHeading = QStringLiteral("    Open Locker          Lock");
inline const QString LockingInProgress = QStringLiteral("Locking in Progress...");
inline const QString FilesLocked = QStringLiteral("Files Locked Sucessfully");

// The counters' value at which the locker is open (D_Label) or the locking is over (E_Label).
inline const QString CounterDone = QStringLiteral("4");
} // namespace Caption
