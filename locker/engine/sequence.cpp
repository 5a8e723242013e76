#include "locker/engine/sequence.h"

#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"
#include "platform/dialogs.h"

#include <QTimer>

void advanceCounter(ChangeLabel &counter) {
    counter.setText(QString::number(counter.text().toInt() + 1));
}

void keepTimerWhileStarted(QTimer &timer, qint64 processId) {
    if (processId == 0)
        timer.stop();
    else if (!timer.isActive())
        timer.start();
}

void reportMissingScript(LockerWindow &w, QTimer &timer, const QString &shipped,
                         const QString &ending) {
    timer.stop();
    const QString title = QStringLiteral("Troubleshooting");
    w.dialogs().message(
        &w,
        QStringLiteral("Please make sure you have %1\r\nfile in your Tarvolen directory.")
            .arg(shipped),
        title, Dialogs::Buttons::Ok);
    w.dialogs().message(&w, ending, title, Dialogs::Buttons::Ok);
}
