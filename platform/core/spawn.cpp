#include "platform/core/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace {

void connect(posix_spawn_file_actions_t &actions, int fd, int stream, int nullMode) {
    if (fd < 0)
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", nullMode, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, fd, stream);
}

} // namespace

pid_t spawnShell(const QByteArrayList &arguments, int input, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    connect(actions, input, STDIN_FILENO, O_RDONLY);
    connect(actions, output, STDOUT_FILENO, O_WRONLY);
    connect(actions, -1, STDERR_FILENO, O_WRONLY);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    QByteArrayList copies = arguments;
    char shell[] = "/bin/sh";
    std::vector<char *> argv{shell};
    for (QByteArray &argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, shell, &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : 0;
}
