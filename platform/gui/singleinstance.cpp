#include "platform/gui/singleinstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The desktop needs a moment to bring a window to the front before it can be asked whether it
// did; a later start waits a while longer for the answer.
constexpr int kFrontDelayMs = 500;
constexpr int kAnswerWaitMs = 5000;

// An abstract socket leaves no file behind; the user id keeps other users' copies apart.
QString serverName(const QString &programFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(programFolder), QCryptographicHash::Sha256);
    return QStringLiteral("tarvolen-%1-%2")
        .arg(::getuid())
        .arg(QString::fromLatin1(hash.toHex().left(32)));
}

} // namespace

SingleInstance::SingleInstance(const QString &programFolder) : m_name(serverName(programFolder)) {
    // A folder that cannot be opened cannot be locked either: then nothing is refused.
    m_lock =
        ::open(QFile::encodeName(programFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_first = m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) == 0;
    if (!m_first)
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::answerLaterStarts);
    m_server->listen(m_name);
}

SingleInstance::~SingleInstance() {
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
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_name);
    return socket.waitForConnected(kAnswerWaitMs) && socket.waitForReadyRead(kAnswerWaitMs) &&
           socket.readAll() == "1";
}
