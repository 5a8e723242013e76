#include "common/inifile.h"

#include <algorithm>

namespace {

bool sameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Characters that would break the line structure are written as \xHH, and so is the
// backslash itself, so that any string survives a round trip.
bool needsEscape(QChar c) {
    return c == u'\\' || c == u'\r' || c == u'\n' || c == u'=' || c == u'[' || c == u']';
}

QString escaped(const QString &text) {
    QString out;
    for (QChar c : text) {
        if (needsEscape(c))
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

} // namespace

IniFile IniFile::parse(const QByteArray &text) {
    IniFile file;
    QString section;
    for (const QByteArray &rawLine : text.split('\n')) {
        // Values are kept exactly, blanks included: "in " is not "in".
        QString line = QString::fromUtf8(rawLine);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = unescaped(line.mid(1, line.size() - 2));
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            file.setValue(section, unescaped(line.left(equals)), unescaped(line.mid(equals + 1)));
    }
    return file;
}

QByteArray IniFile::serialize() const {
    QString out;
    for (const Section &section : m_sections) {
        out += QStringLiteral("[%1]\n").arg(escaped(section.name));
        for (const Entry &entry : section.entries)
            out += QStringLiteral("%1=%2\n").arg(escaped(entry.key), escaped(entry.value));
        out += u'\n';
    }
    return out.toUtf8();
}

IniFile::Section *IniFile::findSection(const QString &name) {
    auto it = std::find_if(m_sections.begin(), m_sections.end(),
                           [&](const Section &s) { return sameName(s.name, name); });
    return it == m_sections.end() ? nullptr : &*it;
}

const IniFile::Section *IniFile::findSection(const QString &name) const {
    return const_cast<IniFile *>(this)->findSection(name);
}

QString IniFile::value(const QString &section, const QString &key) const {
    const Section *s = findSection(section);
    if (!s)
        return {};
    for (const Entry &entry : s->entries) {
        if (sameName(entry.key, key))
            return entry.value;
    }
    return {};
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value) {
    Section *s = findSection(section);
    if (!s) {
        m_sections.append(Section{section, {}});
        s = &m_sections.last();
    }
    for (Entry &entry : s->entries) {
        if (sameName(entry.key, key)) {
            entry.value = value;
            return;
        }
    }
    s->entries.append(Entry{key, value});
}

bool IniFile::removeSection(const QString &section) {
    return m_sections.removeIf([&](const Section &s) { return sameName(s.name, section); }) > 0;
}
