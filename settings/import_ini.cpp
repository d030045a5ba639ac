#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/ascii.h"
#include "settings/settings_store.h"

namespace tarvel {
namespace {

constexpr qint64 kLineBuffer = 520;  // a line arrives in pieces of at most 519 bytes

// Where the INI files of programs of old stand: the Windows directory there,
// the user's configuration folder elsewhere.
QString SystemIniFolder() {
#ifdef _WIN32
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return QString::fromWCharArray(folder, static_cast<qsizetype>(length));
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString LegacyIniPath() {
    QString directory = qEnvironmentVariable("TARVEL_LEGACY_INI_DIR");
    if (directory.isEmpty()) directory = SystemIniFolder();
    const QString name = QStringLiteral("Tarvel.INI");
    QDir folder(directory);
    if (folder.exists(name)) return folder.filePath(name);
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return folder.filePath(entry);
    }
    return {};
}

QByteArray Trimmed(QByteArray text) {
    qsizetype start = 0, end = text.size();
    while (start < end && IsAsciiWhitespace(text[start])) ++start;
    while (end > start && IsAsciiWhitespace(text[end - 1])) --end;
    return text.mid(start, end - start);
}

}  // namespace

void CSettingsStore::ImportIni() {
    QString path = LegacyIniPath();
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;

    QSettings settings(m_fileName, StoreFormat(m_fileName));
    bool sectionOpen = false;
    QString section;
    char buffer[kLineBuffer];
    for (;;) {
        qint64 length = file.readLine(buffer, kLineBuffer);
        if (length <= 0) break;
        QByteArray line(buffer, static_cast<qsizetype>(qstrnlen(buffer, static_cast<uint>(length))));
        line = Trimmed(line);
        qsizetype close = line.indexOf(']');
        if (line.startsWith('[') && close == line.size() - 1) {
            section = QString::fromUtf8(Trimmed(line.mid(1, close - 1)));
            sectionOpen = true;
            continue;
        }
        qsizetype equals = line.indexOf('=');
        if (equals < 0 || !sectionOpen) continue;
        QString name = QString::fromUtf8(line.left(equals));
        if (name.isEmpty()) continue;  // no value can bear an empty name
        settings.setValue(section + QLatin1Char('/') + name, QString::fromUtf8(line.mid(equals + 1)));
    }
    settings.sync();
}

}  // namespace tarvel
