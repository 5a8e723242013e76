#include "common/makecode.h"

#include "common/codepage.h"

#include <QList>

namespace {

// Only the 26 capitals A to Z fold; accented capitals keep their own code.
int folded(int code) {
    return code > 64 && code < 91 ? code + 32 : code;
}

// One group per character: "l" and the folded code-page code, or what `outside` gives for a
// character the code page cannot represent.
template <typename Outside> QString encode(const QString &text, Outside outside) {
    QString result;
    for (char32_t codePoint : text.toUcs4()) {
        const int code = windows1252Code(codePoint);
        if (code < 0) {
            result += outside(codePoint);
            continue;
        }
        result += QLatin1Char('l');
        result += QString::number(folded(code));
    }
    return result;
}

} // namespace

QString MakeCode(const QString &AnyText) {
    return encode(
        AnyText, [](char32_t) { return QLatin1Char('l') + QString::number(kUnrepresentableCode); });
}

QString MakePathCode(const QString &path) {
    // The "u" sets these groups apart from every group that a code-page character gives.
    return encode(
        path, [](char32_t codePoint) { return QStringLiteral("lu") + QString::number(codePoint); });
}
