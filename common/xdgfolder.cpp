#include "common/xdgfolder.h"

#include <QDir>

QString xdgFolder(const char *variable, const QString &belowHome) {
    QString folder = qEnvironmentVariable(variable);
    if (!folder.isEmpty() && QDir::isAbsolutePath(folder))
        return folder;
    return QDir::homePath() + u'/' + belowHome;
}
