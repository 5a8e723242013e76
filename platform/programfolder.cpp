#include "platform/programfolder.h"

#include <QCoreApplication>

QString runningProgramFolder() {
    return QCoreApplication::applicationDirPath();
}
