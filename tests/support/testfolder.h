#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh directory for one test: a program folder and a settings home of its own, so that no
// test touches the real user's settings or files. XDG_CONFIG_HOME and XDG_DATA_HOME (where the
// menu entries go) point into it while it lives.
// Its path never contains "temp", whatever TMPDIR says.
class TestFolder {
public:
    // folderName is the program folder's name below the fresh directory; it may contain "/".
    explicit TestFolder(const QString &folderName = QStringLiteral("Tarvolen"));
    ~TestFolder();
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;

    QString root() const { return m_dir.path(); }
    QString programFolder() const { return m_programFolder; }
    QString path(const QString &name) const { return m_programFolder + u'/' + name; }

    // Settings of this program folder's section, application "Vemb".
    QString setting(const QString &key) const;
    void setSetting(const QString &key, const QString &value) const;
    bool hasSection() const;
    // The raw settings file, to prove that nothing was written.
    QByteArray settingsFileContents() const;

    void writeFile(const QString &name, const QByteArray &contents) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QString m_programFolder;
    QByteArray m_oldConfigHome;
    QByteArray m_oldDataHome;
};
