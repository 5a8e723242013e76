#include "locker/window/about.h"

#include "locker/window/fonts.h"
#include "locker/window/geometry.h"
#include "locker/window/keyboardbutton.h"
#include "locker/window/lockerwindow.h"
#include "platform/gui/titlebar.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

namespace {

// The text takes the palette's colour, black on a light desktop theme and light on a dark one,
// where the window's background is dark too.
QLabel *noteLabel(QWidget *parent, const QString &text, QRect place, Qt::Alignment alignment) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(place);
    label->setFont(comicSans(8.25, false));
    label->setAlignment(alignment | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("background: transparent;"));
    return label;
}

} // namespace

About::About(LockerWindow &main) : QWidget(nullptr), m_main(&main) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Version 3.0"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 4920, 5535).size());

    Frame1 = new QFrame(this);
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setGeometry(twips(120, 0, 4695, 5415));
    Label1 = noteLabel(
        Frame1,
        // The address has a line of its own, so that it is never broken in two.
        QStringLiteral("Thanks for keeping your files in Tarvolen. We are a small team who "
                       "wanted a locker that is simple to use and never loses a file. The "
                       "picture below is our locker at dusk, the hour we like to finish work. "
                       "Our other programs are at\nhttps://tarvolen.example.org"),
        twips(120, 240, 4335, 1215), Qt::AlignLeft);
    Label1->setWordWrap(true);
    Picture1 = new QLabel(Frame1);
    Picture1->setGeometry(twips(120, 1560, 4455, 2895));
    Picture1->setPixmap(QPixmap(QStringLiteral(":/images/about-picture.png")));
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2 =
        noteLabel(Frame1, QStringLiteral("Our locker at dusk, drawn by the makers of Tarvolen."),
                  twips(120, 4560, 4335, 255), Qt::AlignHCenter);
    Command1 = new KeyboardButton(Frame1);
    Command1->setText(QStringLiteral("OK"));
    Command1->setGeometry(twips(1560, 4920, 1455, 375));
    Command1->setFont(comicSans(8.25, false));
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);

    addOwnTitleBar(*this, titleBarFont());
    centreOnScreen(*this);
}

// At a prompt the main window takes the keyboard back, so that typing goes on in Password; in
// the locker menu, where Password is hidden, the main window is left as it is.
void About::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void About::closeEvent(QCloseEvent *event) {
    if (m_main && !m_main->isUnloaded() && m_main->Password->isVisible()) {
        m_main->activateWindow();
        m_main->focusPassword();
    }
    event->accept();
}
