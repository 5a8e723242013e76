// MakeCode, MakePathCode and the code page on any UTF-16: every code is made of groups that
// read back to the text, folded as MakeCode folds it.
//
// Input: the UTF-16 code units of the text, in the machine's byte order.
#include "common/codepage.h"
#include "common/makecode.h"
#include "tests/fuzz/check.h"

#include <QString>
#include <array>
#include <cstring>

namespace {

// The code point of each code-page code. The code page maps every code from exactly one code
// point: otherwise two texts would share their codes.
const std::array<char32_t, 256> &codePointOfCode() {
    static const std::array<char32_t, 256> table = [] {
        std::array<char32_t, 256> points{};
        std::array<int, 256> found{};
        for (char32_t point = 0; point <= 0x10FFFF; ++point) {
            const int code = windows1252Code(point);
            check(code >= -1 && code < 256, "a code is a byte or none");
            if (code >= 0) {
                points[static_cast<std::size_t>(code)] = point;
                ++found[static_cast<std::size_t>(code)];
            }
        }
        for (int count : found)
            check(count == 1, "each code comes from one code point");
        return points;
    }();
    return table;
}

QString foldedAtoZ(QString text) {
    for (QChar &c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

// Reads a code back into text, a "u" group as the code point of its number, or as "?" when
// outsideAsMark; a surrogate stands for itself. Fails on anything but groups.
QString readBack(const QString &code, bool outsideAsMark = false) {
    QString text;
    for (qsizetype i = 0; i < code.size();) {
        check(code[i] == u'l', "a group starts with l");
        const qsizetype digits = i + (code.mid(i + 1, 1) == u"u" ? 2 : 1);
        const bool outside = digits == i + 2;
        qsizetype end = digits;
        while (end < code.size() && code[end] >= u'0' && code[end] <= u'9')
            ++end;
        bool ok = false;
        const uint number = code.sliced(digits, end - digits).toUInt(&ok);
        check(ok && (outside || number < 256), "a group holds a code");
        const char32_t point = outside ? char32_t(number) : codePointOfCode()[number];
        if (outside && outsideAsMark)
            text += u'?';
        else if (point > 0xFFFF)
            text += QString::fromUcs4(&point, 1);
        else
            text += QChar(char16_t(point));
        i = end;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    codePointOfCode();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * 2);
    const QString pathCode = MakePathCode(text);
    check(readBack(pathCode) == text, "MakePathCode reads back to the text");
    const QString code = MakeCode(text);
    check(!code.contains(u"lu"), "MakeCode keeps to the code page");
    check(readBack(code) == foldedAtoZ(readBack(pathCode, true)),
          "MakeCode folds and marks what the code page lacks");
    return 0;
}
