#include "platform/core/menuentry.h"

#include "common/atomicfile.h"
#include "common/xdgfolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <optional>

namespace {

// A value of the type string: a backslash and the characters that would break the line are
// escaped.
QString escaped(QString value) {
    value.replace(u'\\', QStringLiteral("\\\\"));
    value.replace(u'\n', QStringLiteral("\\n"));
    value.replace(u'\t', QStringLiteral("\\t"));
    value.replace(u'\r', QStringLiteral("\\r"));
    return value;
}

// One argument of Exec=, quoted whole so that no character of the path is taken for the
// command line's: inside the quotes '"', '`', '$' and '\' take a backslash, and '%', which
// would begin a field code, is doubled. The value is then escaped as any string.
QString quotedArgument(const QString &argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
        if (c == u'%')
            quoted += u'%';
    }
    return escaped(quoted + u'"');
}

const QString kHidden = QStringLiteral("NoDisplay=true");

QByteArray entryText(const QString &programFolder, const QString &icon, Listing listing) {
    const QString program = programFolder + QStringLiteral("/Tarvolen");
    QStringList lines = {
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Tarvolen"),
        QStringLiteral("Comment=Keeps the Locker folder in %1 behind a password")
            .arg(escaped(programFolder)),
        QStringLiteral("Exec=") + quotedArgument(program),
        // Hides the entry while the program is not there, on a stick that is not plugged in.
        QStringLiteral("TryExec=") + escaped(program),
        QStringLiteral("Icon=") + escaped(icon),
        QStringLiteral("Terminal=false"),
        // A launcher hands the program an activation token only where the entry says that it
        // answers one; a second start passes it on, so that a Wayland compositor lets the running
        // window come forward.
        QStringLiteral("StartupNotify=true"),
        QStringLiteral("Categories=Utility;"),
        // The class of the program's window on X11 (Qt's: the application name), for a shell that
        // matches windows to entries by it.
        QStringLiteral("StartupWMClass=Tarvolen"),
    };
    if (listing == Listing::Hidden)
        lines += kHidden;
    return (lines.join(u'\n') + u'\n').toUtf8();
}

// The path that failed, or an empty string.
QString written(const QString &path, const QByteArray &data) {
    QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return folder;
    return writeFileAtomically(path, data) ? QString() : path;
}

} // namespace

// Stable for a folder and safe in a file name: the hash of the path as it is named on disk.
QString applicationIdOf(const QString &programFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(programFolder), QCryptographicHash::Sha256);
    return QStringLiteral("tarvolen-") + QString::fromLatin1(hash.toHex().left(16));
}

MenuEntry menuEntryOf(const QString &programFolder) {
    const QString data = xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    const QString name = applicationIdOf(programFolder);
    return {data + QStringLiteral("/applications/") + name + QStringLiteral(".desktop"),
            data + QStringLiteral("/icons/hicolor/32x32/apps/") + name + QStringLiteral(".png")};
}

QString addMenuEntry(const QString &programFolder, const QByteArray &icon, Listing listing) {
    const MenuEntry files = menuEntryOf(programFolder);
    // The icon first, so that the entry never shows a picture that is not there.
    QString failed = written(files.icon, icon);
    if (failed.isEmpty())
        failed = written(files.entry, entryText(programFolder, files.icon, listing));
    return failed;
}

namespace {

// The listing of the entry on disk; nothing when there is none.
std::optional<Listing> listingOf(const QString &programFolder) {
    QFile entry(menuEntryOf(programFolder).entry);
    if (!entry.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(u'\n');
    return lines.contains(kHidden) ? Listing::Hidden : Listing::Listed;
}

bool onGnome() {
    return qgetenv("XDG_CURRENT_DESKTOP").split(':').contains("GNOME");
}

} // namespace

void removeMenuEntry(const QString &programFolder) {
    const MenuEntry files = menuEntryOf(programFolder);
    QFile::remove(files.entry);
    QFile::remove(files.icon);
}

void removeHiddenMenuEntry(const QString &programFolder) {
    if (listingOf(programFolder) == Listing::Hidden)
        removeMenuEntry(programFolder);
}

// Without a writable data folder the program goes without: the shell then lists no application.
RunningEntry::RunningEntry(const QString &programFolder, const QByteArray &icon)
    : m_programFolder(programFolder) {
    if (!onGnome())
        removeHiddenMenuEntry(programFolder);
    else if (!listingOf(programFolder))
        addMenuEntry(programFolder, icon, Listing::Hidden);
}

RunningEntry::~RunningEntry() {
    removeHiddenMenuEntry(m_programFolder);
}
