#include "uninstall/removal.h"

#include "common/foldersettings.h"
#include "platform/core/files.h"
#include "platform/core/menuentry.h"
#include "platform/core/programfolder.h"

#include <QStringList>

#include <functional>

namespace {

using Step = std::function<FileError()>;

Step deleting(const QString &file) {
    return [file] { return removeFileUnlessInUse(file); };
}

Step deletingFolder(const QString &folder) {
    return [folder] { return removeFolderUnlessInUse(folder); };
}

Step normalising(const QString &file) {
    return [file] { return setNormalAttributes(file); };
}

// The menu entry and the settings, the stored password above all. A folder whose program never
// ran has no section: nothing to delete, and no failure.
Step forgetting(const QString &programFolder) {
    return [programFolder] {
        removeMenuEntry(programFolder);
        FolderSettings(programFolder).remove();
        return FileError::None;
    };
}

} // namespace

bool removeProgram(const QString &programFolder) {
    const auto file = [&](const char *name) { return programFolder + u'/' + QLatin1String(name); };
    // The main program comes first: while it runs, nothing at all is removed.
    const QList<Step> steps = {
        deleting(file("Tarvolen")),
        normalising(file("dzentil.kqx")),
        normalising(file("ezentil.kqx")),
        deleting(file("dzentil.kqx")),
        deleting(file("ezentil.kqx")),
        deleting(file("zentil")),
        deleting(file("Versions.txt")),
        deleting(file("Readme.html")),
        deleting(file("Readme.txt")),
        deleting(file("d.bat")),
        deleting(file("e.bat")),
        // Before the bundle, whose removal may take a while: a run killed there leaves no
        // password behind, and one that cannot start again for want of it leaves nothing else.
        forgetting(programFolder),
        // This program needs the bundle to start: it goes last, and whole or not at all, so that
        // a run stopped anywhere can be run again to the end.
        deletingFolder(bundleFolder(programFolder)),
    };
    for (const Step &step : steps) {
        if (step() == FileError::Access)
            return false;
    }
    return true;
}
