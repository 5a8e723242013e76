#pragma once

#include <QString>

// What the programs keep for one program folder in its settings section, under four keys of
// short text values. Reads tell an absent value and anything the programs never write (a file
// edited by hand) apart from the values they write, since each reader treats those its own way.

// Files: whether the locker's files were left encrypted.
enum class LockerFiles { Absent, Accessible, Encrypted, Other };
// Msetting: the Master Key switch.
enum class MasterSwitch { Absent, On, Off, Other };
// Rmove: whether the user has asked the main program to hand over to the uninstaller.
enum class RemovalMarker { Absent, Requested, NotRequested, Other };

class FolderSettings {
public:
    explicit FolderSettings(const QString &programFolder);

    // Psetting: MakeCode of the password; empty until the first password is set.
    QString password() const;
    bool setPassword(const QString &code) const;

    MasterSwitch masterSwitch() const;
    // Whether the master access code opens the locker: the switch reads as the number 1, which
    // "1.0" or " 1" do as well.
    bool masterKeyOn() const;
    bool setMasterSwitch(bool on) const;

    LockerFiles files() const;
    bool setFilesEncrypted(bool encrypted) const;
    // The Files value as it is written ("" when absent), to be put back later as it was found.
    QString filesRecord() const;
    bool putBackFilesRecord(const QString &record) const;

    RemovalMarker removalMarker() const;
    bool setRemovalRequested(bool requested) const;

    // Removes the whole section; false when there was none or it could not be removed.
    bool remove() const;

private:
    QString value(const QString &key) const;
    bool save(const QString &key, const QString &value) const;

    QString m_section;
};
