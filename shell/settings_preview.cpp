// The dialog's preview: the first rows of the input as the settings shown
// would read them, each value in its column and each skipped row with why.
#include <QHeaderView>
#include <QTableWidget>
#include <charconv>

#include "convert/row_preview.h"
#include "shell/settings_dialog.h"

namespace tarvel {
namespace {

QString StoredValueText(float value) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (result.ec != std::errc()) result = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, result.ptr - text);
}

// A cell that cannot be read: marked, with the reason on hovering.
QTableWidgetItem* FaultItem(const std::string& reason) {
    auto* item = new QTableWidgetItem(QString(QChar(0x2014)));
    item->setBackground(QColor(255, 214, 214));
    item->setTextAlignment(Qt::AlignCenter);
    item->setToolTip(QString::fromStdString(reason));
    return item;
}

}  // namespace

void CSettingsDlg::UpdatePreview() {
    if (!m_bHasHead || m_bShowing) return;
    m_preview->clear();
    m_preview->setRowCount(0);
    m_preview->setColumnCount(0);
    if (!m_strHeadError.empty()) {
        m_previewSummary->setText(QStringLiteral("No preview: ") + QString::fromStdString(m_strHeadError));
        return;
    }
    CConversionSettings settings;
    int dateFormat = 0;
    if (!ReadingSettings(&settings, &dateFormat)) {
        m_previewSummary->setText(
            QStringLiteral("No preview: a column or the rows to skip is not a valid number."));
        return;
    }
    CNoSettingsWriter noSettings;
    CConverter job(m_platform, m_prompt, noSettings);
    FillConverter(settings, std::string(), dateFormat, job);
    const CRowPreview preview = PreviewRows(m_strHead, job);

    // Date, each enabled field, then why a row would be skipped.
    std::vector<int> fields;
    for (int f = 0; f < kFieldCount; ++f) {
        if (job.m_bFieldOn[f]) fields.push_back(f);
    }
    const int reasonColumn = static_cast<int>(fields.size());
    QStringList headers;
    for (int f : fields) headers << QString::fromLatin1(kFieldNames[f]);
    headers << QStringLiteral("Skipped because");
    m_preview->setColumnCount(reasonColumn + 1);
    m_preview->setHorizontalHeaderLabels(headers);
    m_preview->setRowCount(static_cast<int>(preview.m_rows.size()));
    QStringList lines;
    for (int r = 0; r < static_cast<int>(preview.m_rows.size()); ++r) {
        const CPreviewRow& row = preview.m_rows[static_cast<std::size_t>(r)];
        lines << QStringLiteral("Line %1").arg(row.m_nLine);
        for (int c = 0; c < reasonColumn; ++c) {
            const int f = fields[static_cast<std::size_t>(c)];
            QTableWidgetItem* item = nullptr;
            if (row.m_bSkipped && (row.m_nBadField == f || (row.m_nBadField == -1 && f == kDate))) {
                item = FaultItem(row.m_strReason);
            } else if (f == kDate && row.m_bDateRead) {
                item = new QTableWidgetItem(
                    QString::asprintf("%04d-%02d-%02d", row.m_date.year, row.m_date.month, row.m_date.day));
            } else if (f != kDate && row.m_bValueRead[f]) {
                item = new QTableWidgetItem(StoredValueText(row.m_value[f]));
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            if (item != nullptr) m_preview->setItem(r, c, item);
        }
        if (row.m_bSkipped) {
            auto* reason = new QTableWidgetItem(QString::fromStdString(row.m_strReason));
            reason->setToolTip(reason->text());
            m_preview->setItem(r, reasonColumn, reason);
        }
    }
    m_preview->setVerticalHeaderLabels(lines);
    m_preview->resizeColumnsToContents();
    const int shown = static_cast<int>(preview.m_rows.size());
    m_previewSummary->setText(shown == 0
                                  ? QStringLiteral("No rows to show.")
                                  : QStringLiteral("%1 %2 shown, %3 would be skipped")
                                        .arg(shown)
                                        .arg(shown == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                                        .arg(preview.m_nSkipped));
}

}  // namespace tarvel
