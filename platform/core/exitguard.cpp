#include "platform/core/exitguard.h"

#include "platform/core/spawn.h"

#include <QFile>

#include <cerrno>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// $0 is the script. A word other than the release, or none at all because this program has
// gone, runs it; exec keeps the ignored signals ignored in the script's own process.
constexpr char kGuard[] = "trap '' HUP INT TERM\n"
                          "read -r word\n"
                          "[ \"$word\" = released ] || exec /bin/sh \"$0\"\n";
constexpr char kRelease[] = "released\n";

} // namespace

std::unique_ptr<ExitGuard> ExitGuard::start(const QString &scriptPath) {
    // A socket rather than a pipe, so that a release written to a guard that has gone fails
    // rather than raising SIGPIPE.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return nullptr;
    const pid_t pid = spawnShell({"-c", kGuard, QFile::encodeName(scriptPath)}, ends[0], -1);
    ::close(ends[0]);
    if (pid == 0) {
        ::close(ends[1]);
        return nullptr;
    }
    return std::unique_ptr<ExitGuard>(new ExitGuard(pid, ends[1]));
}

ExitGuard::~ExitGuard() {
    if (m_connection >= 0)
        ::close(m_connection);
}

void ExitGuard::release() {
    if (m_connection < 0)
        return;
    ::send(m_connection, kRelease, sizeof kRelease - 1, MSG_NOSIGNAL);
    ::close(m_connection);
    m_connection = -1;
    while (::waitpid(static_cast<pid_t>(m_pid), nullptr, 0) < 0 && errno == EINTR) {
    }
}
