#include "common/makecode.h"

#include "common/codepage.h"

#include <QList>

namespace {

int foldedCode(char32_t codePoint) {
    int code = windows1252Code(codePoint);
    if (code < 0)
        return kUnrepresentableCode;
    // Only the 26 capitals A to Z fold; accented capitals keep their own code.
    if (code > 64 && code < 91)
        return code + 32;
    return code;
}

} // namespace

QString MakeCode(const QString &AnyText) {
    QString result;
    for (char32_t codePoint : AnyText.toUcs4()) {
        result += QLatin1Char('l');
        result += QString::number(foldedCode(codePoint));
    }
    return result;
}
