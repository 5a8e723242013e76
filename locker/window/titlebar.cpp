#include "locker/window/titlebar.h"

#include "locker/window/fonts.h"

#include <QAbstractButton>
#include <QGuiApplication>
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
// mask leaves the client area to the window and its controls.
class Frame : public QWidget {
public:
    explicit Frame(QWidget &window);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    // The window has one size only: a double click on the bar does nothing.
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }

private:
    // Places the buttons at the bar's right end; returns where the first one begins.
    int addButtons(QWidget &window);
};

Frame::Frame(QWidget &window) : QWidget(&window) {
    setGeometry(window.rect());
    setMask(QRegion(rect()).subtracted(window.contentsRect()));
    int left = kBorder + kGap;
    // Only an icon of the window's own, not the one it would inherit from the application.
    if (window.testAttribute(Qt::WA_SetWindowIcon)) {
        auto *icon = new QLabel(this);
        icon->setPixmap(window.windowIcon().pixmap(kIconSize));
        icon->setGeometry(left, (kBarHeight + kBorder - kIconSize) / 2, kIconSize, kIconSize);
        left += kIconSize + kGap;
    }
    const int right = addButtons(window);
    auto *title = new QLabel(window.windowTitle(), this);
    title->setObjectName(QStringLiteral("Title"));
    // A face that ships with the program, so that the title measures the same on every desktop.
    title->setFont(bookAntiqua(9.75, true));
    title->setStyleSheet(QStringLiteral("color: white;"));
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(left, kBorder, right - left, kBarHeight - kBorder);
}

int Frame::addButtons(QWidget &window) {
    QList<BarButton *> buttons;
    if (window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint)) {
        buttons << new BarButton(this, Glyph::Minimize, QStringLiteral("Minimize"));
        connect(buttons.last(), &QAbstractButton::clicked, &window, &QWidget::showMinimized);
    }
    buttons << new BarButton(this, Glyph::Close, QStringLiteral("Close"));
    // The desktop's close arrives at the platform window; this one takes the same way, so that
    // the window treats it as it treats the desktop's (see LockerWindow::eventFilter).
    connect(buttons.last(), &QAbstractButton::clicked, &window,
            [&window] { window.windowHandle()->close(); });
    const int first = width() - kBorder - int(buttons.size()) * kButtonWidth;
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setGeometry(first + i * kButtonWidth, kBorder, kButtonWidth,
                                kBarHeight - kBorder);
    return first;
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

void addOwnTitleBar(QWidget &window) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    window.setWindowFlags(window.windowFlags() | Qt::FramelessWindowHint);
    const QPoint shift(kBorder, kBarHeight);
    for (QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow())
            child->move(child->pos() + shift);
    window.setFixedSize(window.size() + QSize(2 * kBorder, kBarHeight + kBorder));
    window.setContentsMargins(kBorder, kBarHeight, kBorder, kBorder);
    new Frame(window);
}
