#pragma once

#include <QString>
#include <QWidget>

// A label of the window that is never shown, whose change of text runs its change handler at
// once, inside the statement that changed it: the unlock and lock sequences advance by setting
// such a counter. The text is its own, not a QLabel's, so that no call through a base class,
// the text property or the meta-object system can change it without the notice.
class ChangeLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY Change)
public:
    explicit ChangeLabel(const QString &text, QWidget *parent = nullptr);

    QString text() const { return m_text; }

public slots:
    void setText(const QString &text);

signals:
    // Connected directly: the handler has finished when setText returns.
    void Change();

private:
    QString m_text;
};
