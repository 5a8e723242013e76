#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The contents of one settings file: named sections of named string values, in the order in
// which they were first written. Section and key names compare without regard to letter case;
// a name keeps the spelling of its first write.
class IniFile {
public:
    static IniFile parse(const QByteArray &text);
    QByteArray serialize() const;

    QString value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    // Returns false when there is no such section.
    bool removeSection(const QString &section);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };

    Section *findSection(const QString &name);
    const Section *findSection(const QString &name) const;

    QList<Section> m_sections;
};
