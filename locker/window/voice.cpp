#include "locker/window/voice.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QWidget>

namespace {

// A child of a window that is never seen, named with what it announces, told as the showing of
// a notification. Each announcement has one of its own: Orca drops a notice when a newer one of
// the same kind from the same object waits behind it. It lives long enough to be read.
class Announcer : public QWidget {
    Q_OBJECT
public:
    Announcer(QWidget &window, const QString &text) : QWidget(&window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        resize(1, 1);
        setAccessibleName(text);
        show();
        QTimer::singleShot(std::chrono::minutes(1), this, &QObject::deleteLater);
    }
};

// The handler that the masked notices go on to: another program part's (a test's), or none,
// which hands them to the platform's accessibility bridge.
QAccessible::UpdateHandler g_next = nullptr;

void maskingHandler(QAccessibleEvent *event);

void forward(QAccessibleEvent *event) {
    QAccessible::installUpdateHandler(g_next);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(maskingHandler);
}

const QLineEdit *passwordBox(const QAccessibleEvent *event) {
    const auto *box = qobject_cast<const QLineEdit *>(event->object());
    return box && box->echoMode() != QLineEdit::Normal ? box : nullptr;
}

QString masked(const QLineEdit &box, const QString &text) {
    if (box.echoMode() == QLineEdit::NoEcho)
        return QString();
    const QChar mask(box.style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, &box));
    return QString(text.size(), mask);
}

void forwardMasked(const QLineEdit &box, QAccessibleEvent *event) {
    auto *object = event->object();
    switch (event->type()) {
    case QAccessible::TextInserted: {
        const auto *insert = static_cast<QAccessibleTextInsertEvent *>(event);
        QAccessibleTextInsertEvent mask(object, insert->changePosition(),
                                        masked(box, insert->textInserted()));
        mask.setCursorPosition(insert->cursorPosition());
        return forward(&mask);
    }
    case QAccessible::TextRemoved: {
        const auto *remove = static_cast<QAccessibleTextRemoveEvent *>(event);
        QAccessibleTextRemoveEvent mask(object, remove->changePosition(),
                                        masked(box, remove->textRemoved()));
        mask.setCursorPosition(remove->cursorPosition());
        return forward(&mask);
    }
    case QAccessible::TextUpdated: {
        const auto *update = static_cast<QAccessibleTextUpdateEvent *>(event);
        QAccessibleTextUpdateEvent mask(object, update->changePosition(),
                                        masked(box, update->textRemoved()),
                                        masked(box, update->textInserted()));
        mask.setCursorPosition(update->cursorPosition());
        return forward(&mask);
    }
    case QAccessible::ValueChanged:
        // The box's value is its whole text.
        return;
    default:
        return forward(event);
    }
}

void maskingHandler(QAccessibleEvent *event) {
    if (const QLineEdit *box = passwordBox(event))
        return forwardMasked(*box, event);
    forward(event);
}

// Qt exposes a window made of a plain widget as a filler, which a screen reader passes over.
QAccessibleInterface *windowInterface(const QString &className, QObject *object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("LockerWindow"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String("About"))
        return new QAccessibleWidget(widget, QAccessible::Dialog);
    if (qobject_cast<Announcer *>(object))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    return nullptr;
}

} // namespace

void installScreenReaderSupport() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    g_next = QAccessible::installUpdateHandler(maskingHandler);
    QAccessible::installFactory(windowInterface);
}

void announce(QWidget &within, const QString &text) {
    new Announcer(*within.window(), text);
}

#include "voice.moc"
