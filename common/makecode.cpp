#include "common/makecode.h"

#include "common/codepage.h"

#include <QList>

namespace {

// Only the 26 capitals A to Z fold; accented capitals keep their own code.
int folded(int code) {
    return code > 64 && code < 91 ? code + 32 : code;
}

// The text's code points. A surrogate without its other half stands for itself: toUcs4() would
// make every such one U+FFFD, and give two different texts one code.
QList<char32_t> codePoints(const QString &text) {
    QList<char32_t> points;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            points.append(QChar::surrogateToUcs4(c, text[++i]));
        else
            points.append(c.unicode());
    }
    return points;
}

// One group per character: "l" and the code-page code, folded where asked, or what `outside`
// gives for a character the code page cannot represent.
template <typename Outside> QString encode(const QString &text, bool fold, Outside outside) {
    QString result;
    for (char32_t codePoint : codePoints(text)) {
        const int code = windows1252Code(codePoint);
        if (code < 0) {
            result += outside(codePoint);
            continue;
        }
        result += QLatin1Char('l');
        result += QString::number(fold ? folded(code) : code);
    }
    return result;
}

} // namespace

QString MakeCode(const QString &AnyText) {
    return encode(AnyText, true, [](char32_t) {
        return QLatin1Char('l') + QString::number(kUnrepresentableCode);
    });
}

QString MakePathCode(const QString &path) {
    // The "u" sets these groups apart from every group that a code-page character gives.
    return encode(path, false, [](char32_t codePoint) {
        return QStringLiteral("lu") + QString::number(codePoint);
    });
}
