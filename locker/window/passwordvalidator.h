#pragma once

#include <QValidator>

// Lets into the password box only characters that the password encoding can tell apart: those of
// the Windows-1252 code page. Any other character would encode as "?" and make different
// passwords equal.
class PasswordValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
};
