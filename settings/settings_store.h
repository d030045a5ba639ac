// The persistent settings: an INI file read and written through QSettings.
// The file stands for the application key, each section ("Setting",
// "Convert", "Screen", ...) is an INI group, every value is text. The file is
// $TARVEL_SETTINGS when set, otherwise the user's
// ~/.config/Hollark Software/Tarvel.ini. On Windows the store is the
// registry key HKEY_CURRENT_USER\Software\Hollark Software\Tarvel instead,
// and a value missing there is read from the same key below
// HKEY_LOCAL_MACHINE, where settings kept for the whole machine stand.
//
// Nothing is cached: every call opens the file, does one access and lets go.
// Reads fall back to the caller's default on every failure; writes report
// failure by returning 0 and tell the user nothing.
#pragma once

#include <QSettings>
#include <QString>
#include <string>

namespace tarvel {

// Whether a store's name is a registry key ("HKEY_...") rather than a file.
inline bool InRegistry(const QString& store) { return store.startsWith(QLatin1String("HKEY_")); }
// The QSettings format that reads and writes the store of that name.
inline QSettings::Format StoreFormat(const QString& store) {
    return InRegistry(store) ? QSettings::NativeFormat : QSettings::IniFormat;
}

class CSettingsStore {
public:
    CSettingsStore();
    virtual ~CSettingsStore();

    // Records `basePath` and opens the application key, creating the backing
    // file when it does not exist so that the next start finds the key.
    // Returns 1 on success and stores in *createdNew whether this call created
    // it; returns 0 when the file can be neither found nor created.
    int CreateKey(bool* createdNew, const std::string& basePath);

    // The stored integer, scanned as "%d" scans (leading white space, sign,
    // digits, the rest ignored), or `defaultValue`.
    int GetInt(const char* section, const char* name, int defaultValue) const;
    // The stored text, or `defaultValue`. A value of more than 259 bytes
    // counts as missing.
    std::string GetString(const char* section, const char* name, const std::string& defaultValue) const;
    // 1 when the value reached the file, 0 otherwise.
    int WriteInt(const char* section, const char* name, int value);
    int WriteString(const char* section, const char* name, const std::string& text);

    // Copies the legacy INI file Tarvel.INI (any case) from
    // $TARVEL_LEGACY_INI_DIR, or else the Windows directory on Windows and the
    // user's configuration directory elsewhere, into the store: each
    // [section] a section, each name=value line a value.
    void ImportIni();

    const QString& fileName() const { return m_fileName; }

    std::string m_strBasePath;

private:
    QString m_fileName;
};

// The file the store uses: $TARVEL_SETTINGS, or the per-user default.
QString SettingsFileName();

// The text of `value` as "%d" scanning reads it; false when it holds no number.
bool ScanInt(const std::string& text, int* value);

}  // namespace tarvel
