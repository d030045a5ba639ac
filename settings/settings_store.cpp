#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <climits>

namespace tarvel {
namespace {

// Bytes a value may hold with its terminating NUL.
constexpr qsizetype kReadLimit = 260;

QString Key(const char* section, const char* name) {
    return QString::fromUtf8(section) + QLatin1Char('/') + QString::fromUtf8(name);
}

// The registry key the store keeps on Windows for each user, and the
// machine-wide one read when the user's has no such value.
const QString kUserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Hollark Software\\Tarvel");
const QString kMachineKey = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hollark Software\\Tarvel");

// Reads one value; false when it is missing or too long.
bool ReadValue(const QString& file, const char* section, const char* name, std::string* text) {
    QVariant value = QSettings(file, StoreFormat(file)).value(Key(section, name));
    if (!value.isValid() && file == kUserKey)
        value = QSettings(kMachineKey, QSettings::NativeFormat).value(Key(section, name));
    if (!value.isValid()) return false;
    // A hand-edited value holding commas reads as a list; it is still one text.
    QByteArray bytes;
    if (value.typeId() == QMetaType::QByteArray) {
        bytes = value.toByteArray();
    } else {
        QString string = value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1String(", "))
                             : value.toString();
        bytes = string.toUtf8();
    }
    if (bytes.size() + 1 > kReadLimit) return false;
    *text = bytes.toStdString();
    return true;
}

// QSettings waits for its lock file until the file is older than its stale
// time (half a minute) when the lock names no process, as one that a process
// killed while creating it does. A live holder writes its name at once, so a
// lock that stays empty for a moment is abandoned: remove it.
void RemoveAbandonedLock(const QString& file) {
    const QString lockPath = file + QStringLiteral(".lock");
    for (int i = 0; i < 10; ++i) {
        QFileInfo info(lockPath);
        if (!info.exists() || info.size() != 0) return;
        QThread::msleep(20);
    }
    QFile::remove(lockPath);
}

int WriteValue(const QString& file, const char* section, const char* name, const std::string& text) {
    if (!InRegistry(file)) RemoveAbandonedLock(file);
    QSettings settings(file, StoreFormat(file));
    // Text that is not UTF-8 (a file name as the system has it) is kept as
    // bytes; a QString would replace what it cannot decode.
    QString string = QString::fromStdString(text);
    if (string.toStdString() == text) {
        settings.setValue(Key(section, name), string);
    } else {
        settings.setValue(Key(section, name), QByteArray::fromStdString(text));
    }
    settings.sync();
    return settings.status() == QSettings::NoError ? 1 : 0;
}

}  // namespace

QString SettingsFileName() {
    QByteArray path = qgetenv("TARVEL_SETTINGS");
    if (!path.isEmpty()) return QString::fromLocal8Bit(path);
#ifdef Q_OS_WIN
    return kUserKey;
#endif
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Hollark Software"),
                     QStringLiteral("Tarvel"))
        .fileName();
}

bool ScanInt(const std::string& text, int* value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    long long number = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        number = std::min(number * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) number = -number;
    *value = static_cast<int>(
        std::clamp(number, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
    return true;
}

CSettingsStore::CSettingsStore() : m_fileName(SettingsFileName()) {}

CSettingsStore::~CSettingsStore() = default;

int CSettingsStore::CreateKey(bool* createdNew, const std::string& basePath) {
    m_strBasePath = basePath;
    *createdNew = false;
    if (InRegistry(m_fileName)) {
        // A key with no value yet is created by writing one and taking it back.
        QSettings user(m_fileName, QSettings::NativeFormat);
        if (!user.allKeys().isEmpty() || !QSettings(kMachineKey, QSettings::NativeFormat).allKeys().isEmpty())
            return 1;
        user.setValue(QStringLiteral("Created"), 1);
        user.remove(QStringLiteral("Created"));
        user.sync();
        *createdNew = user.status() == QSettings::NoError;
        return *createdNew ? 1 : 0;
    }
    QFileInfo info(m_fileName);
    if (info.exists()) return info.isFile() ? 1 : 0;
    QDir().mkpath(info.absolutePath());
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return QFileInfo(m_fileName).isFile() ? 1 : 0;
    file.close();
    *createdNew = true;
    return 1;
}

int CSettingsStore::GetInt(const char* section, const char* name, int defaultValue) const {
    std::string text;
    int value = 0;
    if (!ReadValue(m_fileName, section, name, &text) || !ScanInt(text, &value)) return defaultValue;
    return value;
}

std::string CSettingsStore::GetString(const char* section, const char* name,
                                      const std::string& defaultValue) const {
    std::string text;
    return ReadValue(m_fileName, section, name, &text) ? text : defaultValue;
}

int CSettingsStore::WriteInt(const char* section, const char* name, int value) {
    return WriteValue(m_fileName, section, name, std::to_string(value));
}

int CSettingsStore::WriteString(const char* section, const char* name, const std::string& text) {
    return WriteValue(m_fileName, section, name, text);
}

}  // namespace tarvel
