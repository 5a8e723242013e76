#include "common/inifile.h"

#include <algorithm>

namespace {

// Characters that would break the line structure are written as \xHH, and so are the
// backslash itself and a first ";" or "#", which would make a key's line a comment, so that any
// string survives a round trip.
bool needsEscape(QChar c, bool first) {
    return c == u'\\' || c == u'\r' || c == u'\n' || c == u'=' || c == u'[' || c == u']' ||
           (first && (c == u';' || c == u'#'));
}

QString escaped(const QString &text) {
    QString out;
    for (QChar c : text) {
        if (needsEscape(c, out.isEmpty()))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString unescaped(const QString &text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        if (text[i] == u'\\' && text.mid(i + 1, 1) == QLatin1String("x")) {
            const ushort code = text.mid(i + 2, 2).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QByteArrayView between(const QByteArray &text, qsizetype start, qsizetype end) {
    return QByteArrayView(text).sliced(start, end - start);
}

QByteArrayView withoutEnding(QByteArrayView line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool isBlank(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

QString decoded(QByteArrayView text) {
    return unescaped(QString::fromUtf8(text));
}

// What one line of the file is to the store; anything else is left alone. The bytes that give a
// line its shape are all ASCII, so a line is taken apart before it is decoded.
struct Line {
    enum Kind { Blank, Header, Value, Other } kind = Other;
    QByteArrayView name; // of the section or the key, as written
    QByteArrayView value;
};

Line classify(QByteArrayView line) {
    // Values are kept exactly, blanks included: "in " is not "in".
    const QByteArrayView text = withoutEnding(line);
    if (isBlank(text))
        return {Line::Blank, {}, {}};
    if (text.startsWith(';') || text.startsWith('#'))
        return {};
    if (text.startsWith('[') && text.endsWith(']'))
        return {Line::Header, text.sliced(1, text.size() - 2), {}};
    // A key may be empty: "=value" is its line.
    const qsizetype equals = text.indexOf('=');
    if (equals >= 0)
        return {Line::Value, text.first(equals), text.sliced(equals + 1)};
    // A header behind the remains of a damaged line is still a header. Written names never
    // hold a "[", so the name begins after the last one.
    const qsizetype open = text.lastIndexOf('[');
    if (open > 0 && text.endsWith(']'))
        return {Line::Header, text.sliced(open + 1, text.size() - open - 2), {}};
    return {};
}

bool sameName(QByteArrayView written, const QString &name) {
    return decoded(written).compare(name, Qt::CaseInsensitive) == 0;
}

QByteArray valueLine(QByteArrayView key, const QString &value) {
    return key.toByteArray() + '=' + escaped(value).toUtf8();
}

// Runs f(parsed line, whether it lies in the section, its bytes, start, end) over the lines of
// text, each with its line ending. Values above the first header belong to the
// section without a name.
template <typename F> void forEachLine(const QByteArray &text, const QString &section, F f) {
    bool inSection = section.isEmpty();
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype end = newline < 0 ? text.size() : newline + 1;
        const QByteArrayView line = between(text, start, end);
        const Line parsed = classify(line);
        if (parsed.kind == Line::Header)
            inSection = sameName(parsed.name, section);
        f(parsed, inSection, line, start, end);
        start = end;
    }
}

} // namespace

IniFile IniFile::parse(const QByteArray &text) {
    IniFile file;
    file.m_text = text;
    return file;
}

QByteArray IniFile::serialize() const {
    return m_text;
}

IniFile::Found IniFile::find(const QString &section, const QString &key) const {
    Found found;
    forEachLine(
        m_text, section,
        [&](const Line &line, bool inSection, QByteArrayView, qsizetype start, qsizetype end) {
            if (!inSection || line.kind == Line::Blank || line.kind == Line::Other)
                return;
            found.sectionEnd = end;
            if (line.kind == Line::Value && sameName(line.name, key)) {
                found.valueStart = start;
                found.valueEnd = end;
            }
        });
    return found;
}

// Inserts whole lines, each ended by "\n"; a last line without an ending gets one first.
void IniFile::insertLines(qsizetype at, const QByteArray &lines) {
    if (at > 0 && m_text[at - 1] != '\n')
        m_text.insert(at++, '\n');
    m_text.insert(at, lines);
}

QString IniFile::value(const QString &section, const QString &key) const {
    const Found found = find(section, key);
    if (found.valueStart < 0)
        return {};
    return decoded(classify(between(m_text, found.valueStart, found.valueEnd)).value);
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value) {
    const Found found = find(section, key);
    if (found.valueStart >= 0) {
        // The line keeps its key's spelling and its line ending.
        const QByteArrayView line = between(m_text, found.valueStart, found.valueEnd);
        m_text.replace(found.valueStart, withoutEnding(line).size(),
                       valueLine(classify(line).name, value));
    } else if (found.sectionEnd >= 0) {
        insertLines(found.sectionEnd, valueLine(escaped(key).toUtf8(), value) + '\n');
    } else {
        insertLines(m_text.size(), '[' + escaped(section).toUtf8() + "]\n" +
                                       valueLine(escaped(key).toUtf8(), value) + '\n');
    }
}

bool IniFile::removeSection(const QString &section) {
    bool found = false;
    QByteArray kept;
    forEachLine(m_text, section,
                [&](const Line &line, bool inSection, QByteArrayView text, qsizetype, qsizetype) {
                    found |= inSection && (line.kind == Line::Header || line.kind == Line::Value);
                    if (!inSection || line.kind == Line::Other)
                        kept += text;
                });
    m_text = kept;
    return found;
}

bool IniFile::hasSection(const QString &section) const {
    return find(section, {}).sectionEnd >= 0;
}

bool IniFile::renameSection(const QString &from, const QString &to) {
    if (!hasSection(from) || hasSection(to))
        return false;
    QByteArray renamed;
    forEachLine(m_text, from,
                [&](const Line &line, bool inSection, QByteArrayView text, qsizetype, qsizetype) {
                    if (inSection && line.kind == Line::Header)
                        renamed += '[' + escaped(to).toUtf8() + ']' +
                                   text.sliced(withoutEnding(text).size()).toByteArray();
                    else
                        renamed += text;
                });
    m_text = renamed;
    return true;
}
