#include "platform/gui/singleinstance.h"

#include "common/settings.h"
#include "platform/gui/wayland.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
// A later start says its piece in one line: the activation token that its launcher gave it,
// which is a few dozen characters; a longer line is no later start of ours.
constexpr qint64 kMaxRequestLength = 4096;
// Where a Wayland launcher hands a program the token that lets one of its windows take the focus
// (xdg-activation). Qt passes the token found there to the compositor with the next activation
// of a window, and clears it.
constexpr char kActivationToken[] = "XDG_ACTIVATION_TOKEN";

// The token that this start's launcher gave it. Debian 12's GLib (2.74, GNOME 43's launchers)
// passes it only as the startup notification id, which GNOME's compositor issued as an
// activation token all the same.
QByteArray launcherToken() {
    const QByteArray token = qgetenv(kActivationToken);
    return token.isEmpty() ? qgetenv("DESKTOP_STARTUP_ID") : token;
}

// The name of this folder's socket and lock: the folder's path, hashed.
QString instanceName(const QString &programFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(programFolder), QCryptographicHash::Sha256);
    return QStringLiteral("tarvolen-") + QString::fromLatin1(hash.toHex().left(32));
}

QString runtimeFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

// A socket in the user's runtime folder, which only the user may enter: no other user can answer
// a later start in place of the running copy, nor take the name first. Without such a folder
// there is no socket, and a later start says that the folder is in use.
QString serverPath(const QString &programFolder) {
    const QString runtime = runtimeFolder();
    return runtime.isEmpty() ? QString() : runtime + u'/' + instanceName(programFolder);
}

// The lock that a running copy holds: a file that only the user may open, beside the socket or,
// without a runtime folder, beside the settings. The program folder itself would not do: any user
// who may read it can lock it, and so keep its owner out.
int openLock(const QString &programFolder) {
    QString folder = runtimeFolder();
    if (folder.isEmpty()) {
        folder = QFileInfo(settingsFilePath(kSettingsApp)).absolutePath();
        QDir().mkpath(folder);
    }
    const QString path = folder + u'/' + instanceName(programFolder) + QStringLiteral(".lock");
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                  0600);
}

} // namespace

SingleInstance::SingleInstance(const QString &programFolder) : m_path(serverPath(programFolder)) {
    // A lock that cannot be opened cannot be taken either: then nothing is refused.
    m_lock = openLock(programFolder);
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(*socket); });
    }
}

void SingleInstance::answer(QLocalSocket &socket) {
    if (!socket.canReadLine()) {
        if (socket.bytesAvailable() > kMaxRequestLength)
            socket.abort();
        return;
    }
    disconnect(&socket, &QLocalSocket::readyRead, this, nullptr);
    comeToFront(socket.readLine().trimmed());
    QTimer::singleShot(kFrontDelayMs, &socket, [&socket] {
        socket.write(QApplication::activeWindow() ? "1" : "0");
        socket.disconnectFromServer();
    });
}

// A Wayland compositor lets a window take the focus, or come back from being minimized, only with
// a token from the launcher that started the later copy, as if that start had opened the window.
// A later start without one (from a terminal) leaves it to Qt, which asks for a token of its own
// that compositors grant only to the program that has the focus: the window then at most asks
// for attention, and the later start says that the folder is in use. The variable goes again
// once the window has been asked, so that no program started later inherits a spent token.
void SingleInstance::comeToFront(const QByteArray &activationToken) {
    if (onWayland() && !activationToken.isEmpty())
        qputenv(kActivationToken, activationToken);
    emit frontRequested();
    qunsetenv(kActivationToken);
}

bool SingleInstance::bringFirstToFront() const {
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(kAnswerWaitMs))
        return false;
    socket.write(launcherToken() + '\n');
    return socket.waitForReadyRead(kAnswerWaitMs) && socket.readAll() == "1";
}
