#pragma once

#include "platform/gui/sessionhold.h"
#include "platform/gui/shell.h"

#include <QStringList>

// Records what the programs ask of the desktop instead of opening windows or starting programs.
// Open answers NotFound for a path that does not exist, as the desktop shell does.
class FakeShell : public Shell {
public:
    OpenResult open(const QString &path) override;
    bool startProgram(const QString &program, const QString &workingDirectory) override;

    QStringList opened;
    struct Started {
        QString program;
        QString workingDirectory;
    };
    QList<Started> started;
    OpenResult nextOpenResult = OpenResult::Opened;

    std::unique_ptr<SessionHold> holdSession(const QString &lockScript,
                                             const QString &reason) override;
    // Every hold taken, and how it ended: released, or destroyed unreleased (which runs the lock
    // script in the real program).
    enum class HoldState { Held, Released, Abandoned };
    struct Hold {
        QString lockScript;
        QString reason;
        HoldState state = HoldState::Held;
    };
    QList<Hold> holds;
    // Each hold also starts the real guard, which runs the lock script when it ends unreleased.
    bool realGuards = false;
};
