#pragma once

#include <QString>

#include <memory>

class SessionHold;

// The desktop: opening a folder or document in the program associated with it, and starting
// another program. The programs use DesktopShell; tests record the calls instead.
class Shell {
public:
    enum class OpenResult { Opened, NotFound, Failed };

    virtual ~Shell() = default;

    // Opens the path without waiting; a path that does not exist is NotFound.
    virtual OpenResult open(const QString &path) = 0;

    // Starts the program detached, without arguments, in the given working directory.
    virtual bool startProgram(const QString &program, const QString &workingDirectory) = 0;

    // Keeps the session from ending without the user while the hold lives, for the reason given,
    // and runs lockScript should this program end before the hold is released.
    virtual std::unique_ptr<SessionHold> holdSession(const QString &lockScript,
                                                     const QString &reason) = 0;
};

class DesktopShell : public Shell {
public:
    OpenResult open(const QString &path) override;
    bool startProgram(const QString &program, const QString &workingDirectory) override;
    std::unique_ptr<SessionHold> holdSession(const QString &lockScript,
                                             const QString &reason) override;
};
