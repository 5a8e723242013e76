#pragma once

#include <QString>

#include <memory>

// Runs a script should this program end before it says otherwise: a child `/bin/sh` in a session
// of its own that waits for a word from this program. release() lets it end quietly. When this
// program ends in any other way (a signal, a crash, a display that went away, or the guard
// destroyed unreleased) its connection closes unanswered and the guard runs the script. The guard
// and the script ignore the hang-up, interrupt and termination signals with which a desktop session
// ends its processes, so that the script gets the time the system gives before it kills outright.
class ExitGuard {
public:
    // Nothing when the guard could not be started.
    static std::unique_ptr<ExitGuard> start(const QString &scriptPath);
    // Unless released, the guard runs the script now.
    ~ExitGuard();
    ExitGuard(const ExitGuard &) = delete;
    ExitGuard &operator=(const ExitGuard &) = delete;

    qint64 processId() const { return m_pid; }

    // The guard ends without running the script; returns once it has ended.
    void release();

private:
    ExitGuard(qint64 pid, int connection) : m_pid(pid), m_connection(connection) {}

    qint64 m_pid;
    int m_connection;
};
