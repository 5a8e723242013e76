#include "locker/window/progress.h"

#include "locker/window/fonts.h"
#include "locker/window/geometry.h"
#include "locker/window/voice.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>

#include <algorithm>

namespace {

constexpr int kSteps = 1000;

int steps(qint64 done, qint64 total) {
    return static_cast<int>(std::clamp<qint64>(done * kSteps / total, 0, kSteps));
}

} // namespace

RunProgress::RunProgress(QWidget *parent) : QWidget(parent) {
    // Where the password box and its buttons stand while the locker is locked.
    setGeometry(twips(0, 720, 2700, 1335));
    bar = new QProgressBar(this);
    bar->setGeometry(twips(240, 120, 2220, 300));
    bar->setTextVisible(false);
    bar->setAccessibleName(QStringLiteral("Progress"));
    text = new QLabel(this);
    text->setGeometry(twips(0, 540, 2655, 375));
    text->setFont(bookAntiqua(9.75, true));
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    text->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    hide();
}

void RunProgress::showCounts(const Counts &counts) {
    bar->setRange(0, kSteps);
    // A run over empty files moves by files alone.
    bar->setValue(counts.bytesTotal > 0
                      ? steps(counts.bytesDone, counts.bytesTotal)
                      : steps(counts.filesDone, std::max<qint64>(counts.filesTotal, 1)));
    const QLocale english(QLocale::English);
    text->setText(
        QStringLiteral("%1 of %2 %3")
            .arg(english.toString(counts.filesDone), english.toString(counts.filesTotal),
                 counts.filesTotal == 1 ? QStringLiteral("file") : QStringLiteral("files")));
    bar->setAccessibleDescription(text->text());
    const int quarter = bar->value() * 4 / kSteps;
    if (isHidden() || quarter != m_toldQuarter) {
        m_toldQuarter = quarter;
        announce(*this, text->text());
    }
    show();
}

void RunProgress::showWorking() {
    bar->setRange(0, 0);
    text->clear();
    bar->setAccessibleDescription(QString());
    show();
}
