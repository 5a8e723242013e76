#include "locker/engine/sequence.h"

#include "locker/window/changelabel.h"

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
