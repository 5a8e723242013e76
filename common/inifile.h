#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The contents of one settings file: named sections of named string values. Section and key
// names compare without regard to letter case; a name keeps the spelling of its first write.
// The file is kept byte for byte, and a change touches only the lines of the value or section
// that it concerns: comments, blank lines, bytes in other encodings and lines that make no sense
// stay exactly as they were. Each operation is one pass over the lines.
class IniFile {
public:
    static IniFile parse(const QByteArray &text);
    QByteArray serialize() const;

    QString value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    // Removes the section's headers, values and blank lines; returns false when there is no such
    // section.
    bool removeSection(const QString &section);
    bool hasSection(const QString &section) const;
    // Gives the section `from` the name `to`, its values and their lines left as they are;
    // returns false when there is no such section or `to` names one already.
    bool renameSection(const QString &from, const QString &to);

private:
    // What one pass over the lines finds of a section and one of its keys.
    struct Found {
        // The line that holds the key's value, from its first byte to past its line ending; the
        // later one when a key is written twice.
        qsizetype valueStart = -1;
        qsizetype valueEnd = -1;
        qsizetype sectionEnd = -1; // past the section's last header or value line
    };
    Found find(const QString &section, const QString &key) const;
    void insertLines(qsizetype at, const QByteArray &lines);

    QByteArray m_text;
};
