#include "locker/window/lockerwindow.h"

#include "locker/window/captions.h"
#include "locker/window/changelabel.h"
#include "locker/window/fonts.h"
#include "locker/window/geometry.h"
#include "locker/window/keyboardbutton.h"
#include "locker/window/passwordvalidator.h"
#include "locker/window/progress.h"
#include "locker/window/voice.h"
#include "platform/core/script.h"
#include "platform/gui/sessionhold.h"
#include "platform/gui/titlebar.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace {

QLabel *whiteLabel(QWidget *parent, const QString &text, QRect place, const QFont &font,
                   Qt::Alignment alignment) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(place);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    return label;
}

QPushButton *textButton(QWidget *parent, const QString &caption, QRect place) {
    auto *button = new KeyboardButton(parent);
    button->setText(caption);
    button->setGeometry(place);
    button->setFont(comicSans(8.25, false));
    return button;
}

// The name is what a screen reader speaks for the picture: the words drawn above it.
QPushButton *pictureButton(QWidget *parent, const QString &image, const QString &tooltip,
                           const QString &name, QRect place) {
    auto *button = new KeyboardButton(parent);
    button->setGeometry(place);
    button->setIcon(QIcon(image));
    button->setIconSize(place.size() - QSize(8, 8));
    button->setToolTip(tooltip);
    button->setAccessibleName(name);
    button->hide();
    return button;
}

template <typename Label> Label *counter(QWidget *parent, QRect place) {
    auto *label = new Label(QStringLiteral("0"), parent);
    label->setGeometry(place);
    label->hide();
    return label;
}

} // namespace

LockerWindow::LockerWindow(const QString &programFolder, Dialogs &dialogs, Shell &shell)
    : m_programFolder(programFolder), m_dialogs(dialogs), m_shell(shell),
      m_background(QStringLiteral(":/images/background.png")) {
    setWindowTitle(QStringLiteral("Tarvolen v3.0"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 2700, 5325).size());
    QIcon icon;
    icon.addFile(QStringLiteral(":/images/app-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/images/app-32.png"), QSize(32, 32));
    setWindowIcon(icon);
    installScreenReaderSupport();

    Label1 = whiteLabel(this, Caption::EnterPassword, twips(0, 240, 2655, 375),
                        bookAntiqua(9.75, true), Qt::AlignHCenter);
    createPromptGroup();
    Label1->setBuddy(Password);
    createMenuGroup();
    createAlwaysShown();
    createEngineState();
    createExitMenu();
    setTabOrder();
    addOwnTitleBar(*this, titleBarFont());
    centreOnScreen(*this);
}

LockerWindow::~LockerWindow() = default;

void LockerWindow::createPromptGroup() {
    Password = new QLineEdit(this);
    Password->setGeometry(twips(600, 720, 1575, 375));
    Password->setFont(comicSans(9.75, true));
    Password->setEchoMode(QLineEdit::Password);
    Password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Password->setMaxLength(12);
    Password->setValidator(new PasswordValidator(Password));

    Ok = textButton(this, Caption::OkVerify, twips(360, 1320, 975, 375));
    Cancel = textButton(this, Caption::CancelExit, twips(1320, 1320, 975, 375));
    Help = textButton(this, QStringLiteral("Help"), twips(840, 1680, 975, 375));
    Label3 = whiteLabel(this, QString(), twips(0, 2160, 2655, 735), bookAntiqua(9.75, true),
                        Qt::AlignHCenter);
}

void LockerWindow::createMenuGroup() {
    OpenLocker = pictureButton(this, QStringLiteral(":/images/open-locker.png"),
                               QStringLiteral("Open Locker"), QStringLiteral("Open Locker"),
                               twips(240, 600, 975, 855));
    ExitProgram = pictureButton(this, QStringLiteral(":/images/exit-program.png"),
                                QStringLiteral("Exit and Lock"), QStringLiteral("Lock"),
                                twips(1440, 600, 975, 855));
    Label2 = whiteLabel(this, QStringLiteral("    Change Key      Uninstall"),
                        twips(0, 1560, 2655, 375), bookAntiqua(9.75, true), Qt::AlignLeft);
    Label2->hide();
    ChangePassword = pictureButton(this, QStringLiteral(":/images/change-password.png"),
                                   QStringLiteral("Change Password"), QStringLiteral("Change Key"),
                                   twips(240, 1920, 975, 855));
    Uninstall = pictureButton(this, QStringLiteral(":/images/uninstall.png"),
                              QStringLiteral("Uninstall Tarvolen"), QStringLiteral("Uninstall"),
                              twips(1440, 1920, 975, 855));

    // Only as wide as its box, so its own caption stays out of sight; MasterLabel is its caption.
    MasterCheck = new QCheckBox(QStringLiteral("Master Key"), this);
    MasterCheck->setGeometry(twips(360, 4680, 255, 255));
    MasterCheck->setAutoFillBackground(true);
    QPalette navy = MasterCheck->palette();
    navy.setColor(QPalette::Window, QColor(0, 0, 128));
    MasterCheck->setPalette(navy);
    MasterCheck->setAccessibleName(QStringLiteral("Master key"));
    MasterCheck->hide();
    MasterLabel = whiteLabel(this, QStringLiteral("Master key on"), twips(120, 4920, 735, 255),
                             msSerif(8.25), Qt::AlignLeft);
    // The stand-in serif runs wider than the face the place was measured for: the label grows to
    // the right rather than cut its caption short.
    MasterLabel->resize(std::max(MasterLabel->width(), MasterLabel->sizeHint().width()),
                        MasterLabel->height());
    MasterLabel->hide();
}

void LockerWindow::createAlwaysShown() {
    Command1 =
        pictureButton(this, QStringLiteral(":/images/about-icon.png"), QStringLiteral("About"),
                      QStringLiteral("About"), twips(1200, 4320, 495, 495));
    Command1->setIconSize(QSize(32, 32));
    Command1->show();
    Label4 = new QLabel(QStringLiteral("About"), this);
    Label4->setGeometry(twips(1200, 4800, 615, 255));
    Label4->setFont(bookAntiqua(9, false));
    Label4->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
}

void LockerWindow::createEngineState() {
    D_Label = counter<ChangeLabel>(this, twips(120, 3960, 135, 255));
    E_Label = counter<ChangeLabel>(this, twips(120, 4560, 135, 255));
    Label6 = counter<QLabel>(this, twips(1440, 3960, 975, 255));
    Label7 = counter<QLabel>(this, twips(1440, 3600, 975, 255));
    D_Timer = new QTimer(this);
    D_Timer->setInterval(500);
    E_Timer = new QTimer(this);
    E_Timer->setInterval(500);
    Progress = new RunProgress(this);
}

void LockerWindow::createExitMenu() {
    mnuexit = new QMenu(QStringLiteral("Exit"), this);
    lock = mnuexit->addAction(QStringLiteral("Lock Folder and Exit"));
    nolock = mnuexit->addAction(QStringLiteral("Exit without Locking"));
    h1 = mnuexit->addSeparator();
    mnuCancel = mnuexit->addAction(QStringLiteral("Cancel"));
}

void LockerWindow::setTabOrder() {
    const QList<QWidget *> order = {Password,   Ok,          Cancel,         Help,
                                    OpenLocker, ExitProgram, ChangePassword, Uninstall,
                                    Command1,   MasterCheck};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QString LockerWindow::path(const QString &name) const {
    return m_programFolder + u'/' + name;
}

void LockerWindow::UnloadAll() {
    if (about)
        about->close();
    if (!m_unloaded)
        close();
}

void LockerWindow::bringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void LockerWindow::focusPassword() {
    if (Password->isVisible())
        Password->setFocus();
}

// Focus first: a screen reader takes a change of text in a box for the focus arriving there, and
// would then pass over the focus itself, the heading with it.
void LockerWindow::clearPassword() {
    focusPassword();
    Password->clear();
}

// The captions keep the line breaks and blanks that place them; a screen reader is given the words.
void LockerWindow::setStatus(const QString &text) {
    Label3->setText(text);
    Password->setAccessibleDescription(text.simplified());
}

void LockerWindow::announceHeading(const QString &caption) {
    Label1->setText(caption);
    announce(*this, caption.simplified());
}

void LockerWindow::parkFocus() {
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
}

void LockerWindow::paintEvent(QPaintEvent *) {
    // The picture is larger than the client area and is clipped at its right and bottom edges;
    // a title bar of the window's own covers what lies beyond them.
    QPainter(this).drawPixmap(contentsRect().topLeft(), m_background);
}

// A window closed at the password prompt, while the About window kept the program running, comes
// back at a later start: from then on it closes as before.
void LockerWindow::showEvent(QShowEvent *event) {
    m_unloaded = false;
    // The desktop's close requests arrive at the platform window first; see eventFilter.
    if (QWindow *handle = windowHandle())
        handle->installEventFilter(this);
    QWidget::showEvent(event);
}

// Qt accepts a close request for a window that is already closing without asking closeEvent,
// so a request from the desktop (title-bar button, Alt+F4) that arrives while the decision waits
// for an answer would end the program. Such a request is the running decision's business.
bool LockerWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == windowHandle() && event->type() == QEvent::Close && m_deciding) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LockerWindow::closeEvent(QCloseEvent *event) {
    // A close requested while the decision runs (from a menu item it shows, say) is the
    // decision's own business: its cancel value settles it.
    if (m_deciding) {
        event->ignore();
        return;
    }
    m_deciding = true;
    const int cancel = Form_Unload ? Form_Unload() : 0;
    m_deciding = false;
    if (cancel != 0) {
        event->ignore();
        return;
    }
    m_unloaded = true;
    event->accept();
}

void LockerWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        emit Form_Activate();
    QWidget::changeEvent(event);
}

void LockerWindow::focusInEvent(QFocusEvent *event) {
    emit Form_GotFocus();
    QWidget::focusInEvent(event);
}
