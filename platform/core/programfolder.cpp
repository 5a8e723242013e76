#include "platform/core/programfolder.h"

#include <QCoreApplication>

QString runningProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

QString bundleFolder(const QString &programFolder) {
    return programFolder + QStringLiteral("/lib");
}
