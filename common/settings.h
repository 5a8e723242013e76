#pragma once

#include "common/makecode.h"

#include <QString>

// The per-user settings that both programs share: string values addressed by application,
// section and key, kept in ${XDG_CONFIG_HOME:-$HOME/.config}/tarvolen/<application>.ini.
// Names compare without regard to letter case. A read of anything absent gives the empty string.
// Every write is on disk and visible to other processes when the call returns; concurrent writers
// from several processes are serialised, and a crash never leaves a broken file. A write changes
// only the lines of its own value or section, and a file that exists but cannot be read is never
// written: the write fails. A settings file that is a symbolic link is written through it.

// The application name under which both programs keep their settings.
inline const QString kSettingsApp = QStringLiteral("Vemb");

QString GetSetting(const QString &appName, const QString &section, const QString &key);
// Returns false when the value could not be stored.
bool SaveSetting(const QString &appName, const QString &section, const QString &key,
                 const QString &value);
// Removes the section with all its keys; returns false when there was no such section or the
// file could not be written.
bool DeleteSetting(const QString &appName, const QString &section);

// The section that binds the settings to one installation: MakePathCode of its program folder.
QString SettingsSection(const QString &programFolder);

// Earlier versions named the section after the path with A to Z folded to lower case, so that
// two folders whose paths differ only in those letters shared one. Such a section passes to a
// program folder that has none of its own, once: it is renamed, so that no other folder takes it
// as well. It stays while a folder at the folded path exists and is another folder: the section
// bears that folder's name now, and may well be its own.
void carryOverFoldedSection(const QString &programFolder);

// The file that holds an application's settings.
QString settingsFilePath(const QString &appName);
