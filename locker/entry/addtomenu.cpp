#include "locker/entry/addtomenu.h"

#include "common/temporaryfolder.h"
#include "platform/core/menuentry.h"

#include <QFile>

#include <cstdio>

namespace {

int fail(const QString &reason) {
    std::fprintf(stderr, "Tarvolen: %s\n", qPrintable(reason));
    return 1;
}

} // namespace

int addToMenu(const QString &programFolder) {
    // The program refuses to run there, so an entry would only start a refusal.
    if (IsTemporaryFolder(programFolder))
        return fail(QStringLiteral("no menu entry for %1: its path contains \"temp\". "
                                   "Please unzip Tarvolen first.")
                        .arg(programFolder));
    if (const QString failed = addMenuEntry(programFolder, programIcon(), Listing::Listed);
        !failed.isEmpty())
        return fail(QStringLiteral("could not write %1, so there is no menu entry.").arg(failed));
    const MenuEntry written = menuEntryOf(programFolder);
    std::printf("Wrote the menu entry %s with its icon %s\n", qPrintable(written.entry),
                qPrintable(written.icon));
    return 0;
}

QByteArray programIcon() {
    QFile icon(QStringLiteral(":/images/app-32.png"));
    icon.open(QIODevice::ReadOnly);
    return icon.readAll();
}
