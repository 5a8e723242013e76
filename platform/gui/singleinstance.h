#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running Tarvolen per program folder: two would share the cipher scripts' batch files and
// overwrite each other's record of the locker. The first start holds an exclusive lock on a file
// of its own user while it runs and listens for later starts, which ask it to come to the front
// and end, on a socket in the user's runtime folder.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &programFolder);
    ~SingleInstance() override;

    bool isFirst() const { return m_first; }
    // For a later start: asks the first to come to the front, with the activation token that
    // this start was given. True when the first answered that one of its windows is now the
    // active one.
    bool bringFirstToFront() const;

signals:
    // A later start asks this, the first, to come to the front; a window that asks to be
    // activated while this is emitted does so with the later start's activation token.
    void frontRequested();

private:
    void answerLaterStarts();
    void answer(QLocalSocket &socket);
    void comeToFront(const QByteArray &activationToken);

    QString m_path;
    int m_lock = -1;
    bool m_first = true;
    QLocalServer *m_server = nullptr;
};
