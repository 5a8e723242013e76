#include "platform/dialogs.h"

#include <QCursor>
#include <QMenu>
#include <QMessageBox>

namespace {

QMessageBox::StandardButtons standardButtons(Dialogs::Buttons buttons) {
    switch (buttons) {
    case Dialogs::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Dialogs::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

Dialogs::Answer answerOf(int pressed) {
    switch (pressed) {
    case QMessageBox::Ok:
        return Dialogs::Answer::Ok;
    case QMessageBox::Yes:
        return Dialogs::Answer::Yes;
    case QMessageBox::No:
        return Dialogs::Answer::No;
    default:
        return Dialogs::Answer::Cancel;
    }
}

} // namespace

Dialogs::Answer QtDialogs::message(QWidget *parent, const QString &text, const QString &title,
                                   Buttons buttons) {
    QMessageBox box(QMessageBox::NoIcon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    standardButtons(buttons), parent);
    if (buttons == Buttons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    return answerOf(box.exec());
}

void QtDialogs::popupMenu(QMenu &menu) {
    const QPoint pointer = QCursor::pos();
    menu.exec(pointer - QPoint(menu.sizeHint().width() / 2, 0));
}
