#include "tests/support/fakedialogs.h"

#include <QAction>
#include <QMenu>

void FakeDialogs::runWhileOpen() {
    if (!m_whileOpen)
        return;
    auto action = std::move(m_whileOpen);
    m_whileOpen = nullptr;
    action();
}

Dialogs::Answer FakeDialogs::message(QWidget *, const QString &text, const QString &title,
                                     Buttons buttons) {
    shown.append({text, title, buttons});
    runWhileOpen();
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    switch (buttons) {
    case Buttons::OkCancel:
        return Answer::Ok;
    case Buttons::YesNo:
        return Answer::Yes;
    case Buttons::YesNoDefaultNo:
        return Answer::No;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

void FakeDialogs::popupMenu(QMenu &menu) {
    QStringList captions;
    for (QAction *action : menu.actions())
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    menus.append(captions);
    runWhileOpen();
    if (m_menuChoices.isEmpty())
        return;
    const QString choice = m_menuChoices.takeFirst();
    for (QAction *action : menu.actions()) {
        if (!action->isSeparator() && action->text() == choice) {
            action->trigger();
            return;
        }
    }
}
