#include "platform/gui/titlebar.h"

#include "platform/gui/wayland.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {

constexpr int kBorder = 1;
// The border's top line included.
constexpr int kBarHeight = 24;
constexpr int kButtonWidth = 24;
constexpr int kGap = 5;
constexpr int kIconSize = 16;
// A shade darker than the top of the main window's picture, so that the bar reads as a frame.
constexpr QColor kBarColour(6, 17, 46);
// Stands out from a dark desktop as well as from a light one.
constexpr QColor kBorderColour(112, 120, 140);

enum class Glyph { Minimize, Close };

// A button of the bar. Its glyph is drawn in lines, so that no font has to have it; it takes no
// keyboard focus, so the window's Tab order stays as it is.
class BarButton : public QAbstractButton {
public:
    BarButton(QWidget *bar, Glyph glyph, const QString &name)
        : QAbstractButton(bar), m_glyph(glyph) {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
        setAccessibleName(name);
        setToolTip(name);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        if (isDown() || underMouse())
            painter.fillRect(rect(), QColor(255, 255, 255, isDown() ? 72 : 40));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 1.5));
        const QRectF mark(QRectF(rect()).center() - QPointF(4, 4), QSizeF(8, 8));
        if (m_glyph == Glyph::Minimize) {
            painter.drawLine(mark.bottomLeft(), mark.bottomRight());
            return;
        }
        painter.drawLine(mark.topLeft(), mark.bottomRight());
        painter.drawLine(mark.topRight(), mark.bottomLeft());
    }

private:
    Glyph m_glyph;
};

// The bar at the top and the border around the client area. It covers the whole window, but its
// mask leaves the client area to the window and its controls. It follows the window's size, which
// a message box sets only as it is shown.
class Frame : public QWidget {
public:
    Frame(QWidget &window, const QFont &titleFont);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    // The window has one size only: a double click on the bar does nothing.
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }

private:
    void addButtons(QWidget &window);
    // Lays the bar out across the window's width; widens a window too narrow for its title.
    void place();

    QWidget &m_window;
    QLabel *m_title;
    QList<BarButton *> m_buttons;
    // Where the title may begin: after the border, and the icon where the window has one.
    int m_titleLeft = kBorder + kGap;
};

Frame::Frame(QWidget &window, const QFont &titleFont)
    : QWidget(&window), m_window(window), m_title(new QLabel(window.windowTitle(), this)) {
    // Only an icon of the window's own, not the one it would inherit from the application.
    if (window.testAttribute(Qt::WA_SetWindowIcon)) {
        auto *icon = new QLabel(this);
        icon->setPixmap(window.windowIcon().pixmap(kIconSize));
        icon->setGeometry(m_titleLeft, (kBarHeight + kBorder - kIconSize) / 2, kIconSize,
                          kIconSize);
        m_titleLeft += kIconSize + kGap;
    }
    addButtons(window);
    m_title->setObjectName(QStringLiteral("Title"));
    m_title->setFont(titleFont);
    m_title->setStyleSheet(QStringLiteral("color: white;"));
    m_title->setAlignment(Qt::AlignCenter);
    place();
    window.installEventFilter(this);
}

void Frame::addButtons(QWidget &window) {
    if (window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint)) {
        m_buttons << new BarButton(this, Glyph::Minimize, QStringLiteral("Minimize"));
        connect(m_buttons.last(), &QAbstractButton::clicked, &window, &QWidget::showMinimized);
    }
    m_buttons << new BarButton(this, Glyph::Close, QStringLiteral("Close"));
    // The desktop's close arrives at the platform window; this one takes the same way, so that
    // the window treats it as it treats the desktop's (see LockerWindow::eventFilter).
    connect(m_buttons.last(), &QAbstractButton::clicked, &window,
            [&window] { window.windowHandle()->close(); });
}

void Frame::place() {
    const int buttonsWidth = int(m_buttons.size()) * kButtonWidth + kBorder;
    const int needed = m_titleLeft + m_title->sizeHint().width() + buttonsWidth;
    if (m_window.width() < needed)
        m_window.setFixedWidth(needed);
    setGeometry(m_window.rect());
    setMask(QRegion(rect()).subtracted(m_window.contentsRect()));
    const int first = width() - buttonsWidth;
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setGeometry(first + i * kButtonWidth, kBorder, kButtonWidth,
                                  kBarHeight - kBorder);
    m_title->setGeometry(m_titleLeft, kBorder, first - m_titleLeft, kBarHeight - kBorder);
}

bool Frame::eventFilter(QObject *watched, QEvent *event) {
    if (watched == &m_window && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void Frame::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(0, 0, width(), kBarHeight, kBarColour);
    painter.setPen(kBorderColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// The compositor moves the window: a Wayland client cannot place itself.
void Frame::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && event->position().y() < kBarHeight)
        window()->windowHandle()->startSystemMove();
    event->accept();
}

} // namespace

void addOwnTitleBar(QWidget &window, const QFont &titleFont) {
    if (!onWayland())
        return;
    window.setWindowFlags(window.windowFlags() | Qt::FramelessWindowHint);
    // A layout keeps its children inside the margins by itself; placed children move by hand.
    if (!window.layout()) {
        const QPoint shift(kBorder, kBarHeight);
        for (QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow())
                child->move(child->pos() + shift);
        window.setFixedSize(window.size() + QSize(2 * kBorder, kBarHeight + kBorder));
    }
    window.setContentsMargins(kBorder, kBarHeight, kBorder, kBorder);
    new Frame(window, titleFont);
}
