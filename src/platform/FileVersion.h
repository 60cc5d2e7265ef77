#pragma once

#include <QMap>
#include <QString>

// Reader of the program file's version block (CompanyName, ProductName,
// FileVersion, ...). The block is an ELF section of the executable written at
// build time; a file without it has no version information.
class TFileVersion {
public:
    TFileVersion();  // the running program (/proc/self/exe)
    explicit TFileVersion(const QString& fileName);

    bool HasVersionInfo() const { return !strings_.isEmpty(); }
    // Language and code page of the block as eight hex digits ("080404b0").
    QString GetTranslation() const;
    // The value of `name`, blanks trimmed; empty when there is none.
    QString GetVersionString(const QString& name) const;

private:
    void read(const QString& fileName);

    QString translation_;
    QMap<QString, QString> strings_;  // "StringFileInfo\<translation>\<name>" -> value
};
