#pragma once

#include "platform/gui/dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

// Stands in for the modal boxes and the pop-up menu: answers from a queue, and remembers what
// was shown. With nothing queued a box answers with its default button, as Enter would, and a menu
// is dismissed.
class FakeDialogs : public Dialogs {
public:
    struct Shown {
        QString text;
        QString title;
        Buttons buttons;
    };

    Answer message(QWidget *parent, const QString &text, const QString &title,
                   Buttons buttons) override;
    void popupMenu(QMenu &menu) override;

    // The next box answers this.
    void queueAnswer(Answer answer) { m_answers.append(answer); }
    // The next menu chooses the item with this caption ("Cancel" closes it like a dismissal).
    void queueMenuChoice(const QString &caption) { m_menuChoices.append(caption); }
    // Runs inside the next box or menu, while it is open (to model what happens meanwhile).
    void whileNextIsOpen(std::function<void()> action) { m_whileOpen = std::move(action); }

    QList<Shown> shown;
    // The captions of each menu shown, separators as "-".
    QList<QStringList> menus;

private:
    void runWhileOpen();

    QList<Answer> m_answers;
    QStringList m_menuChoices;
    std::function<void()> m_whileOpen;
};
