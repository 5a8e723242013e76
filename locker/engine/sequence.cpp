#include "locker/engine/sequence.h"

#include "cipher/report.h"
#include "locker/window/changelabel.h"
#include "locker/window/lockerwindow.h"
#include "locker/window/progress.h"
#include "platform/core/script.h"
#include "platform/gui/dialogs.h"

#include <QLocale>
#include <QTimer>

#include <optional>

namespace {

std::optional<zentil::Report> lastReport(const ScriptRun &run) {
    return zentil::parseReport(run.lastLine().toStdString());
}

void showProgress(LockerWindow &w) {
    const auto report = lastReport(*w.cipherRun);
    if (!report)
        return w.Progress->showWorking();
    w.Progress->showCounts({qint64(report->filesDone), qint64(report->filesTotal),
                            qint64(report->bytesDone), qint64(report->bytesTotal)});
}

QString failedRunText(const ScriptRun &run, const QString &done, const QString &left) {
    const auto report = lastReport(run);
    if (!report || !report->done || report->failed == 0)
        return QStringLiteral("The cipher program zentil did not run to its end.\r\n"
                              "Files it did not reach are still %1.")
            .arg(left);
    const bool one = report->failed == 1;
    const QString count = QLocale(QLocale::English).toString(qulonglong(report->failed));
    QString text =
        one ? QStringLiteral("1 file could not be %1 and is still %2.").arg(done, left)
            : QStringLiteral("%1 files could not be %2 and are still %3.").arg(count, done, left);
    // A note that could not be written is not named.
    if (!report->note.empty())
        text += QStringLiteral("\r\nLocker/%1 names %2.")
                    .arg(QString::fromStdString(report->note),
                         one ? QStringLiteral("it") : QStringLiteral("them"));
    return text;
}

} // namespace

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

bool holdsLastStep(LockerWindow &w, const ChangeLabel &counter) {
    const bool goesOn = w.cipherRun && !w.cipherRun->poll();
    if (goesOn && counter.text() == QLatin1String("3")) {
        showProgress(w);
        return true;
    }
    w.Progress->hide();
    return false;
}

void reportFailedRun(LockerWindow &w, const ScriptRun &run, const QString &done,
                     const QString &left) {
    w.dialogs().message(&w, failedRunText(run, done, left), QStringLiteral("Troubleshooting"),
                        Dialogs::Buttons::Ok);
}
