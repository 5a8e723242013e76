#include "locker/engine/wiring.h"

#include "locker/engine/exitdecision.h"
#include "locker/engine/lock.h"
#include "locker/engine/sessionend.h"
#include "locker/engine/unlock.h"
#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"

#include <QAction>
#include <QPushButton>
#include <QTimer>

void connectEngine(LockerWindow &w) {
    QObject::connect(w.D_Timer, &QTimer::timeout, &w, [&w] { D_Timer_Timer(w); });
    QObject::connect(w.D_Label, &ChangeLabel::Change, &w, [&w] { D_Label_Change(w); });
    QObject::connect(w.E_Timer, &QTimer::timeout, &w, [&w] { E_Timer_Timer(w); });
    QObject::connect(w.E_Label, &ChangeLabel::Change, &w, [&w] { E_Label_Change(w); });
    QObject::connect(w.lock, &QAction::triggered, &w, [&w] { lock_Click(w); });
    QObject::connect(w.nolock, &QAction::triggered, &w, [&w] { nolock_Click(w); });
    QObject::connect(w.ExitProgram, &QPushButton::clicked, &w, [&w] { ExitProgram_Click(w); });
    w.Form_Unload = [&w] { return Form_Unload(w); };
    connectSessionManager(w);
}
