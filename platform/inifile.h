// Configuration file objects (INI files).
//
// Sections and keys compare without case. Every read looks at the file as it
// is on disk now (re-read only when it changed) and every write reaches the
// file before the call returns, so another process sees it at once. A missing
// file reads as empty; the first write creates it. Malformed values read as
// the caller's default. Booleans are written "1"/"0", floats with the process
// decimal separator ",", dates as "dd/mm/yyyy".
#pragma once

#include "platform/currency.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>

namespace stb {

class IniFile {
public:
    explicit IniFile(const QString &path);
    ~IniFile();
    IniFile(const IniFile &) = delete;
    IniFile &operator=(const IniFile &) = delete;

    QString fileName() const;

    QString readString(const QString &section, const QString &key, const QString &def = {}) const;
    int readInteger(const QString &section, const QString &key, int def = 0) const;
    double readFloat(const QString &section, const QString &key, double def = 0) const;
    // A float key read as an amount with four decimals, from its decimal text
    // (never through a binary double): "12,3456" is exactly 12.3456.
    Currency readCurrency(const QString &section, const QString &key, Currency def = {}) const;
    bool readBool(const QString &section, const QString &key, bool def = false) const;
    QDate readDate(const QString &section, const QString &key, const QDate &def = {}) const;

    // Each write returns false when the file could not be written.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);
    bool writeFloat(const QString &section, const QString &key, double value);
    bool writeCurrency(const QString &section, const QString &key, Currency value); // "12,3456", "12"
    bool writeBool(const QString &section, const QString &key, bool value);
    bool writeDate(const QString &section, const QString &key, const QDate &value);

    bool sectionExists(const QString &section) const;
    bool valueExists(const QString &section, const QString &key) const;
    QStringList readSections() const; // in file order
    QStringList readSection(const QString &section) const; // key names, in file order
    bool eraseSection(const QString &section);
    bool deleteKey(const QString &section, const QString &key);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace stb
