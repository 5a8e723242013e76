#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A shell script started as a child process of this program: `/bin/sh <script>` in a session of
// its own, so that closing this program or its terminal never stops it half-way; standard input
// and error on /dev/null, standard output on a pipe that this program reads; in the current
// directory. It is followed without ever being waited for.
class ScriptRun {
public:
    // Nothing when it could not be started; a missing script is never started.
    static std::unique_ptr<ScriptRun> start(const QString &scriptPath);
    // Neither stops the script nor waits for it.
    ~ScriptRun();
    ScriptRun(const ScriptRun &) = delete;
    ScriptRun &operator=(const ScriptRun &) = delete;

    qint64 processId() const { return m_pid; }

    // Takes in what the script wrote so far and whether it has ended, without waiting; true once
    // it has ended.
    bool poll();
    // It has ended with exit status 0. Killed, or ended with any other status, it failed.
    bool succeeded() const { return m_ended && m_status == 0; }
    // The last whole line it wrote, without the line break.
    QByteArray lastLine() const { return m_lastLine; }

private:
    ScriptRun(qint64 pid, int output);
    void readOutput();

    qint64 m_pid;
    int m_output;
    QByteArray m_partial;
    QByteArray m_lastLine;
    bool m_ended = false;
    int m_status = -1;
};
