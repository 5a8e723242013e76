#include "locker/entry/startup.h"

#include "common/settings.h"
#include "common/temporaryfolder.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/dialogs.h"

#include <QCheckBox>
#include <QLabel>

namespace {

// The status line; the two states stand on its middle line, the new-user hint takes two lines.
// A value it does not know leaves the line empty.
void showLockerState(LockerWindow &w, const QString &files) {
    if (files.isEmpty())
        w.Label3->setText(QStringLiteral("Please read help if you\r\nare a new user."));
    else if (files == QLatin1String("0"))
        w.Label3->setText(QStringLiteral("\r\nFiles Accessable."));
    else if (files == QLatin1String("1"))
        w.Label3->setText(QStringLiteral("\r\nFiles Encrypted."));
}

// Ticking the box stores the switch again through its own handler.
void setMasterKeyBox(LockerWindow &w, const QString &master) {
    if (master.isEmpty()) {
        SaveSetting(kSettingsApp, w.settingsSection(), QStringLiteral("Msetting"),
                    QStringLiteral("1"));
        w.MasterCheck->setChecked(true);
    } else if (master == QLatin1String("1")) {
        w.MasterCheck->setChecked(true);
    } else if (master == QLatin1String("0")) {
        w.MasterCheck->setChecked(false);
    }
}

} // namespace

void Form_Load(LockerWindow &w) {
    if (IsTemporaryFolder(w.programFolder())) {
        // The window has not been shown yet: the box stands on its own.
        w.dialogs().message(nullptr, kUnzipFirstText, kUnzipFirstTitle, Dialogs::Buttons::Ok);
        w.UnloadAll();
        return;
    }
    const QString files = GetSetting(kSettingsApp, w.settingsSection(), QStringLiteral("Files"));
    const QString password =
        GetSetting(kSettingsApp, w.settingsSection(), QStringLiteral("Psetting"));
    const QString master =
        GetSetting(kSettingsApp, w.settingsSection(), QStringLiteral("Msetting"));

    if (password.isEmpty())
        w.showFirstRunForm();
    showLockerState(w, files);
    if (!password.isEmpty())
        SaveSetting(kSettingsApp, w.settingsSection(), QStringLiteral("Rmove"),
                    QStringLiteral("out"));
    setMasterKeyBox(w, master);
}

void Form_Activate(LockerWindow &w) {
    w.focusPassword();
}

void Form_GotFocus(LockerWindow &w) {
    w.focusPassword();
}
