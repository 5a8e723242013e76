#include "locker/window/commands.h"

#include "locker/window/captions.h"
#include "locker/window/lockerwindow.h"

#include <QPushButton>

void Cancel_Click(LockerWindow &w) {
    if (w.Cancel->text() == Caption::CancelExit)
        w.UnloadAll();
}

void connectCommands(LockerWindow &w) {
    QObject::connect(w.Cancel, &QPushButton::clicked, &w, [&w] { Cancel_Click(w); });
}
