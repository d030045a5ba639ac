#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "platform/ascii.h"
#include "settings/settings_store.h"

namespace tarvel {
namespace {

constexpr qint64 kLineBuffer = 520;  // a line arrives in pieces of at most 519 bytes

QString LegacyIniPath() {
    QByteArray dir = qgetenv("TARVEL_LEGACY_INI_DIR");
    QString directory = dir.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                            : QString::fromLocal8Bit(dir);
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
