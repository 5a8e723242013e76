// zentil: encrypts or decrypts the files of the Locker folder beside it, under the password
// stored for this program folder. `zentil encrypt` or `zentil decrypt`; prints nothing, exits 0
// when every file is in the wanted state.
#include "cipher/run.h"
#include "common/settings.h"

#include <QCoreApplication>
#include <QFile>

#include <sodium.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if ((mode != QLatin1String("encrypt") && mode != QLatin1String("decrypt")) || sodium_init() < 0)
        return 2;
    const QString folder = QCoreApplication::applicationDirPath();
    const QByteArray password =
        GetSetting(kSettingsApp, SettingsSection(folder), QStringLiteral("Psetting")).toUtf8();
    // Without a password nothing can be encrypted or decrypted: change nothing.
    if (password.isEmpty())
        return 1;
    const bool done = zentil::run(
        mode == QLatin1String("encrypt") ? zentil::Mode::Encrypt : zentil::Mode::Decrypt,
        QFile::encodeName(folder + QStringLiteral("/Locker")).toStdString(),
        password.toStdString());
    return done ? 0 : 1;
}
