#pragma once

#include "tests/support/testfolder.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>

// A program folder with its own copy of zentil and a stored password, and helpers to fill the
// locker and look at it.
class ZentilFolder : public TestFolder {
public:
    explicit ZentilFolder(const QString &password = QStringLiteral("secret"));

    // Runs zentil to the end, with extra variables in its environment; returns its exit code.
    // Its standard output is kept in output.
    int run(const QString &mode, const QProcessEnvironment &extra = {});
    QProcess *start(const QString &mode, const QProcessEnvironment &extra = {}) const;

    // Lets zentil runs hold no more than this many open files.
    void limitOpenFiles(int limit) { m_openFilesLimit = limit; }
    // Lets zentil write no file larger than this, as a file system with a bound on it would.
    void limitFileSize(int bytes) { m_fileSizeLimit = bytes; }

    QString locker(const QString &name = {}) const;
    void put(const QString &name, const QByteArray &contents) const;
    // Every regular file of the locker, by path relative to it.
    QMap<QString, QByteArray> contents() const;
    QString errorNote() const;

    QByteArray output;

private:
    int m_openFilesLimit = 0;
    int m_fileSizeLimit = 0;
};

// An environment for zentil that preloads the library (after a sanitizer's own runtime).
QProcessEnvironment preloaded(const QString &library);
// zentil's environment with the fault shim that makes call number at (see faultshim.cpp) fail
// with error, or raise signal there where it is not 0.
QProcessEnvironment faulty(const char *call, const QString &at, int error, int signal = 0);

// A tree of awkward files: sizes around the chunk size, odd names, nested folders.
QMap<QString, QByteArray> awkwardTree();
QByteArray randomBytes(qsizetype size, QRandomGenerator &random = *QRandomGenerator::global());
