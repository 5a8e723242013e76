// The settings file on any bytes: it reads, a value written reads back, and every byte that the
// store does not own stays as it was.
//
// Input: section, key, value, another section and another key, each ended by a zero byte, then
// the file.
#include "common/inifile.h"
#include "tests/fuzz/check.h"

#include <QList>

namespace {

bool sameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The file's lines, each with its line ending.
QList<QByteArray> linesOf(const QByteArray &text) {
    QList<QByteArray> lines;
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        lines.append(text.sliced(start, end - start));
        start = end;
    }
    return lines;
}

// True when after holds nothing but whole lines of before, in their order.
bool keepsOnlyWholeLines(const QByteArray &before, const QByteArray &after) {
    const QList<QByteArray> kept = linesOf(after);
    qsizetype next = 0;
    for (const QByteArray &line : linesOf(before)) {
        if (next < kept.size() && kept[next] == line)
            ++next;
    }
    return next == kept.size();
}

// True when after is before with one line's content changed or lines put in at one place: the
// bytes that differ lie within one line of before.
bool changesOneLineAtMost(const QByteArray &before, const QByteArray &after) {
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return !before.sliced(prefix, before.size() - prefix - suffix).contains('\n');
}

void setValueKeepsTheRest(const QByteArray &text, const QStringList &names) {
    const QString &section = names[0], &key = names[1], &value = names[2];
    const QString &otherSection = names[3], &otherKey = names[4];
    IniFile file = IniFile::parse(text);
    const QString otherValue = file.value(otherSection, otherKey);
    file.setValue(section, key, value);
    const QByteArray written = file.serialize();
    const IniFile reread = IniFile::parse(written);
    check(reread.value(section, key) == value, "a value written reads back");
    check(changesOneLineAtMost(text, written), "a write changes the lines of its value only");
    if (!sameName(section, otherSection) || !sameName(key, otherKey))
        check(reread.value(otherSection, otherKey) == otherValue, "other values stay");
}

void removeSectionKeepsTheRest(const QByteArray &text, const QStringList &names) {
    const QString &section = names[0], &key = names[1];
    const QString &otherSection = names[3], &otherKey = names[4];
    IniFile file = IniFile::parse(text);
    const QString otherValue = file.value(otherSection, otherKey);
    const bool hadValue = !file.value(section, key).isEmpty();
    check(file.removeSection(section) || !hadValue, "a section with a value is found");
    const QByteArray written = file.serialize();
    check(keepsOnlyWholeLines(text, written), "a removal takes whole lines away");
    check(file.value(section, key).isEmpty(), "a removed section has no values");
    check(!file.removeSection(section), "a removed section is gone");
    if (!sameName(section, otherSection))
        check(file.value(otherSection, otherKey) == otherValue, "other sections stay");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QStringList names;
    while (names.size() < 5) {
        const qsizetype end = input.indexOf('\0');
        if (end < 0)
            return -1; // not an input of this layout: left out of the corpus
        names.append(QString::fromUtf8(input.first(end)));
        input.remove(0, end + 1);
    }
    check(IniFile::parse(input).serialize() == input, "a file reads and writes back unchanged");
    setValueKeepsTheRest(input, names);
    removeSectionKeepsTheRest(input, names);
    return 0;
}
