#include "locker/engine/lock.h"

#include "common/settings.h"
#include "locker/engine/cipherscripts.h"
#include "locker/engine/sequence.h"
#include "locker/window/captions.h"
#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"
#include "platform/dialogs.h"

#include <QLabel>
#include <QTimer>

namespace {

void saveFiles(LockerWindow &w, const QString &appName, const QString &state) {
    SaveSetting(appName, w.settingsSection(), QStringLiteral("Files"), state);
}

// An empty locker folder is removed, so that it is recorded as having nothing locked.
void recordLockerState(LockerWindow &w) {
    const QString locker = w.path(QStringLiteral("Locker"));
    if (isEmptyDirectory(locker))
        removeDirectory(locker);
    saveFiles(w, kSettingsApp, pathExists(locker) ? QStringLiteral("1") : QStringLiteral("0"));
}

// The encrypt script could not be started or was gone before its time: the files are not
// encrypted, and the program ends all the same.
void failLocking(LockerWindow &w) {
    reportMissingScript(w, *w.E_Timer, kEncryptScript.shipped,
                        QStringLiteral("Quiting without encryption, see help"));
    // Application names ignore letter case: this is the same setting as everywhere else.
    saveFiles(w, QStringLiteral("vemb"), QStringLiteral("0"));
    w.QuitFlag = 1;
    w.E_Label->setText(Caption::CounterDone);
    w.UnloadAll();
}

} // namespace

void lock_Click(LockerWindow &w) {
    recordLockerState(w);
    w.enterBusyLocking();
    prepareScript(w.programFolder(), kEncryptScript);
    if (!w.E_Timer->isActive())
        w.E_Timer->start();
}

void E_Timer_Timer(LockerWindow &w) {
    advanceCounter(*w.E_Label);
}

void E_Label_Change(LockerWindow &w) {
    if (w.E_Label->text() == QLatin1String("1")) {
        const qint64 processId = startScript(w.programFolder(), kEncryptScript);
        if (processId == 0)
            return failLocking(w);
        w.Label7->setText(QString::number(processId));
        SaveSetting(kSettingsApp, w.settingsSection(), QStringLiteral("Rmove"),
                    QStringLiteral("out"));
        w.Label1->setText(Caption::FilesLocked);
    }
    keepTimerWhileStarted(*w.E_Timer, w.Label7->text().toLongLong());
    if (w.E_Label->text().toInt() == 3 &&
        removeScript(w.programFolder(), kEncryptScript) == FileError::NotFound)
        return failLocking(w);
    if (w.E_Label->text() == Caption::CounterDone) {
        w.E_Timer->stop();
        w.UnloadAll();
    }
}

void nolock_Click(LockerWindow &w) {
    saveFiles(w, kSettingsApp, QStringLiteral("0"));
    const auto answer = w.dialogs().message(
        &w, QStringLiteral("Your files will not be encrypted.\r\nAre you sure?"),
        QStringLiteral("Please note"), Dialogs::Buttons::YesNo);
    if (answer == Dialogs::Answer::Yes) {
        w.QuitFlag = 1;
        w.UnloadAll();
    }
}
