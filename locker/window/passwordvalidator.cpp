#include "locker/window/passwordvalidator.h"

#include "common/codepage.h"

#include <QList>

QValidator::State PasswordValidator::validate(QString &input, int &) const {
    for (char32_t codePoint : input.toUcs4()) {
        if (windows1252Code(codePoint) < 0)
            return Invalid;
    }
    return Acceptable;
}
