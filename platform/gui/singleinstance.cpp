#include "platform/gui/singleinstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The desktop needs a moment to bring a window to the front before it can be asked whether it
// did; a later start waits a while longer for the answer.
constexpr int kFrontDelayMs = 500;
constexpr int kAnswerWaitMs = 5000;

// A socket in the user's runtime folder, which only the user may enter: no other user can answer
// a later start in place of the running copy, nor take the name first. Without such a folder
// there is no socket, and a later start says that the folder is in use.
QString serverPath(const QString &programFolder) {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(programFolder), QCryptographicHash::Sha256);
    return runtime + QStringLiteral("/tarvolen-") + QString::fromLatin1(hash.toHex().left(32));
}

} // namespace

SingleInstance::SingleInstance(const QString &programFolder) : m_path(serverPath(programFolder)) {
    // A folder that cannot be opened cannot be locked either: then nothing is refused.
    m_lock =
        ::open(QFile::encodeName(programFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_first = m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) == 0;
    if (!m_first || m_path.isEmpty())
        return;
    // A socket of this name was left by a copy that was killed: the lock shows that no copy runs.
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answerLaterStarts);
    m_server->listen(m_path);
}

SingleInstance::~SingleInstance() {
    // The socket goes while the lock is still held: after that it may be the next copy's.
    delete m_server;
    if (m_lock >= 0)
        ::close(m_lock);
}

void SingleInstance::answerLaterStarts() {
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        emit frontRequested();
        QTimer::singleShot(kFrontDelayMs, socket, [socket] {
            socket->write(QApplication::activeWindow() ? "1" : "0");
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::bringFirstToFront() const {
    QLocalSocket socket;
    socket.connectToServer(m_path);
    return socket.waitForConnected(kAnswerWaitMs) && socket.waitForReadyRead(kAnswerWaitMs) &&
           socket.readAll() == "1";
}
