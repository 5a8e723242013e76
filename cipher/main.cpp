// zentil: encrypts or decrypts the files of the Locker folder beside it, under the password
// stored for this program folder. `zentil encrypt` or `zentil decrypt`; reports its progress on
// standard output (cipher/report.h), exits 0 when every file is in the wanted state, and keeps the
// folder's record of whether the locker is encrypted true. --help and --version print its usage
// and version.
#include "cipher/run.h"
#include "common/commandline.h"
#include "common/foldersettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <sodium.h>
#include <sys/prctl.h>

namespace {

// Overwrites a copy of the password before its memory goes back to the heap.
template <typename Text> void wipe(Text &text) {
    sodium_memzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof *text.data());
}

// The reports go to standard output: a closed one must not be taken over by the first file that
// the run opens, and a reader that has gone must not stop the run.
void guardStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0)
            ::open("/dev/null", O_RDWR);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

// A run may outlive the program that started it, or run with nobody to follow it: the record is
// kept here, where the outcome is known. A decrypt records the locker as readable before its
// first decrypted byte is written anywhere, temporary files included, and puts back the record
// it found when it decrypts no file after all; an encrypt records it as encrypted once every
// file is.
bool runAndRecord(zentil::Mode mode, const QString &folder, const std::string &password) {
    const FolderSettings settings(folder);
    const QString locker = folder + QStringLiteral("/Locker");
    const std::string lockerPath = QFile::encodeName(locker).toStdString();
    if (mode == zentil::Mode::Decrypt) {
        QString found;
        const auto readable = [&] {
            found = settings.filesRecord();
            settings.setFilesEncrypted(false);
        };
        const auto asFound = [&] { settings.putBackFilesRecord(found); };
        return zentil::run(mode, lockerPath, password, {readable, asFound});
    }
    const bool done = zentil::run(mode, lockerPath, password);
    if (done && !QDir(locker).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                      QDir::System))
        settings.setFilesEncrypted(true);
    return done;
}

} // namespace

int main(int argc, char **argv) {
    // No core dump and no other process of the user may show the password held in memory.
    ::prctl(PR_SET_DUMPABLE, 0);
    guardStandardStreams();
    if (const auto exitCode = answerCommandLine(
            argc, argv, "zentil",
            "encrypt | decrypt | --help | --version\nEncrypts or decrypts the files of the Locker "
            "folder beside it, under the password stored for this folder.",
            {"encrypt", "decrypt"}))
        return *exitCode;
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (sodium_init() < 0)
        return 2;
    const QString folder = QCoreApplication::applicationDirPath();
    QString stored = FolderSettings(folder).password();
    QByteArray utf8 = stored.toUtf8();
    std::string password(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    wipe(stored);
    wipe(utf8);
    // Without a password nothing can be encrypted or decrypted: change nothing.
    const bool done =
        !password.empty() && runAndRecord(mode == QLatin1String("encrypt") ? zentil::Mode::Encrypt
                                                                           : zentil::Mode::Decrypt,
                                          folder, password);
    wipe(password);
    return done ? 0 : 1;
}
