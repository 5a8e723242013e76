#include "platform/core/script.h"

#include "platform/core/spawn.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

std::unique_ptr<ScriptRun> ScriptRun::start(const QString &scriptPath) {
    const QByteArray script = QFile::encodeName(scriptPath);
    // /bin/sh would start, and fail, for a script that is not there: test it first.
    if (::access(script.constData(), R_OK) != 0)
        return nullptr;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return nullptr;
    const pid_t pid = spawnShell({script}, -1, pipe[1]);
    ::close(pipe[1]);
    if (pid == 0) {
        ::close(pipe[0]);
        return nullptr;
    }
    ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
    return std::unique_ptr<ScriptRun>(new ScriptRun(pid, pipe[0]));
}

ScriptRun::ScriptRun(qint64 pid, int output) : m_pid(pid), m_output(output) {}

ScriptRun::~ScriptRun() {
    ::close(m_output);
}

bool ScriptRun::poll() {
    readOutput();
    if (m_ended)
        return true;
    int status = 0;
    const pid_t waited = ::waitpid(static_cast<pid_t>(m_pid), &status, WNOHANG);
    if (waited == 0 || (waited < 0 && errno == EINTR))
        return false;
    // A child that can no longer be waited for has ended in a way nobody can tell: a failure.
    m_ended = true;
    m_status = waited == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // What it wrote before it ended is all in the pipe by now.
    readOutput();
    return true;
}

void ScriptRun::readOutput() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        m_partial.append(buffer, n);
        const qsizetype end = m_partial.lastIndexOf('\n');
        if (end < 0)
            continue;
        const qsizetype start = m_partial.lastIndexOf('\n', end - 1) + 1;
        m_lastLine = m_partial.mid(start, end - start);
        m_partial.remove(0, end + 1);
    }
}
