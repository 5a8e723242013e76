#include "common/foldersettings.h"

#include "common/settings.h"

namespace {

const QString kPasswordKey = QStringLiteral("Psetting");
const QString kMasterKey = QStringLiteral("Msetting");
const QString kFilesKey = QStringLiteral("Files");
const QString kRemovalKey = QStringLiteral("Rmove");

// Each two-valued setting is written as one of two texts.
struct Texts {
    QString yes;
    QString no;
};
const Texts kOneZero{QStringLiteral("1"), QStringLiteral("0")};
const Texts kInOut{QStringLiteral("in"), QStringLiteral("out")};

template <typename Value>
Value classify(const QString &text, const Texts &texts, Value yes, Value no) {
    if (text.isEmpty())
        return Value::Absent;
    if (text == texts.yes)
        return yes;
    if (text == texts.no)
        return no;
    return Value::Other;
}

const QString &textOf(bool yes, const Texts &texts) {
    return yes ? texts.yes : texts.no;
}

} // namespace

// Each of the programs reads its settings through here, whichever of them starts first after an
// update: the section of an earlier version is found by all alike.
FolderSettings::FolderSettings(const QString &programFolder)
    : m_section(SettingsSection(programFolder)) {
    carryOverFoldedSection(programFolder);
}

QString FolderSettings::password() const {
    return value(kPasswordKey);
}

bool FolderSettings::setPassword(const QString &code) const {
    return save(kPasswordKey, code);
}

MasterSwitch FolderSettings::masterSwitch() const {
    return classify(value(kMasterKey), kOneZero, MasterSwitch::On, MasterSwitch::Off);
}

bool FolderSettings::masterKeyOn() const {
    bool isNumber = false;
    const double number = value(kMasterKey).trimmed().toDouble(&isNumber);
    return isNumber && number == 1.0;
}

bool FolderSettings::setMasterSwitch(bool on) const {
    return save(kMasterKey, textOf(on, kOneZero));
}

LockerFiles FolderSettings::files() const {
    return classify(value(kFilesKey), kOneZero, LockerFiles::Encrypted, LockerFiles::Accessible);
}

bool FolderSettings::setFilesEncrypted(bool encrypted) const {
    return save(kFilesKey, textOf(encrypted, kOneZero));
}

QString FolderSettings::filesRecord() const {
    return value(kFilesKey);
}

bool FolderSettings::putBackFilesRecord(const QString &record) const {
    return save(kFilesKey, record);
}

RemovalMarker FolderSettings::removalMarker() const {
    return classify(value(kRemovalKey), kInOut, RemovalMarker::Requested,
                    RemovalMarker::NotRequested);
}

bool FolderSettings::setRemovalRequested(bool requested) const {
    return save(kRemovalKey, textOf(requested, kInOut));
}

bool FolderSettings::remove() const {
    return DeleteSetting(kSettingsApp, m_section);
}

QString FolderSettings::value(const QString &key) const {
    return GetSetting(kSettingsApp, m_section, key);
}

bool FolderSettings::save(const QString &key, const QString &value) const {
    return SaveSetting(kSettingsApp, m_section, key, value);
}
