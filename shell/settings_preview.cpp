// The dialog's preview: the first rows of the input as the settings shown
// would read them, each value in its column and each skipped row with why.
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>
#include <charconv>

#include "convert/date_text.h"
#include "convert/row_preview.h"
#include "pricedb/extended_masters.h"
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

// Keeps the messages of a read that only looks.
class CQuietPrompt : public CPrompt {
public:
    int MessageBox(const std::string& text, int) override {
        if (m_strFirst.empty()) m_strFirst = text;
        return kIdNo;
    }
    std::string m_strFirst;
};

}  // namespace

void CSettingsDlg::SetPathIn(const QString& path) {
    m_strPathIn = path.toStdString();
    m_bHasHead = false;
    m_strHead.clear();
    m_strHeadError.clear();
    if (!path.isEmpty()) {
        ReadPreviewHead(m_platform, path.toStdString(), &m_strHead, &m_strHeadError);
        m_bHasHead = true;
    }
    m_previewGroup->setVisible(m_bHasHead);
    UpdatePreview();
}

bool CSettingsDlg::ReadingSettings(CConversionSettings* s, int* dateFormat) const {
    for (int f = 0; f < kFieldCount; ++f) {
        long long column = 0;
        if (!ParseUnsigned(m_column[f]->text(), &column) || column < 1 || column > kMaxColumns) return false;
        s->nColumn[f] = static_cast<int>(column);
        if (QCheckBox* box = CheckBox(f)) s->bFieldOn[f] = box->isChecked();
    }
    long long skip = 0;
    s->bSkipOn = m_checkSkip->isChecked();
    if (s->bSkipOn && (!ParseUnsigned(m_skipRows->text(), &skip) || skip > kMaxSkipRows)) return false;
    s->nSkipRows = static_cast<int>(skip);
    s->nDelimiter = m_delimiterGroup.checkedId();
    s->bDecimalComma = m_checkDecimalComma->isChecked();
    s->bUpdate = m_checkUpdate->isChecked();
    // As OK takes it: the entry the text begins, else the entry selected.
    int entry = FindDateFormat(m_dateFormat->currentText().toStdString());
    *dateFormat = entry > 0 ? entry : m_dateFormat->currentIndex() + 1;
    return true;
}

void CSettingsDlg::PreviewNewerRows(const CConversionSettings& settings, int dateFormat) {
    CNoSettingsWriter noSettings;
    CQuietPrompt quiet;
    CConverter job(m_platform, quiet, noSettings);
    FillConverter(settings, m_strPathIn, dateFormat, job);
    if (job.DryRun() != 0) {
        m_previewSummary->setText(QStringLiteral("No preview: ") + QString::fromStdString(quiet.m_strFirst));
        return;
    }
    // Records hold the fields on, in field order, oldest first.
    const NewSecurity& staged = job.Staged();
    std::vector<int> fields;
    for (int f = 0; f < kFieldCount; ++f) {
        if (job.m_bFieldOn[f]) fields.push_back(f);
    }
    const std::size_t width = 4 * fields.size();
    auto value = [&](std::size_t record, std::size_t field) {
        StoredNumber stored{};
        std::copy_n(staged.records.begin() + static_cast<std::ptrdiff_t>(record * width + 4 * field), 4,
                    stored.begin());
        return stored;
    };
    std::size_t first = 0;
    while (first < staged.recordCount && DayOfStoredDate(value(first, 0)) <= m_nHeldLastDay) ++first;
    const std::size_t newer = staged.recordCount - first;
    QStringList headers;
    for (int f : fields) headers << QString::fromLatin1(kFieldNames[f]);
    m_preview->setColumnCount(static_cast<int>(fields.size()));
    m_preview->setHorizontalHeaderLabels(headers);
    const int shown = static_cast<int>(std::min<std::size_t>(newer, kPreviewRows));
    m_preview->setRowCount(shown);
    QStringList lines;
    for (int r = 0; r < shown; ++r) {
        const std::size_t record = first + static_cast<std::size_t>(r);
        lines << QStringLiteral("New %1").arg(r + 1);
        m_preview->setItem(r, 0, new QTableWidgetItem(DayQText(DayOfStoredDate(value(record, 0)))));
        for (std::size_t c = 1; c < fields.size(); ++c) {
            auto* item = new QTableWidgetItem(StoredValueText(DecodeStoredNumber(value(record, c))));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_preview->setItem(r, static_cast<int>(c), item);
        }
    }
    m_preview->setVerticalHeaderLabels(lines);
    m_preview->resizeColumnsToContents();
    const QString after = DayQText(m_nHeldLastDay);
    m_previewSummary->setText(
        newer == 0 ? QStringLiteral("No newer rows: the file has none dated after %1.").arg(after)
                   : QStringLiteral("%L1 newer %2 would be added (dated after %3)%4.")
                         .arg(static_cast<qulonglong>(newer))
                         .arg(newer == 1 ? QStringLiteral("row") : QStringLiteral("rows"), after,
                              newer > static_cast<std::size_t>(shown)
                                  ? QStringLiteral("; the first %1 shown").arg(shown)
                                  : QString()));
}

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
    if (m_checkUpdate->isChecked() && m_nHeldLastDay > 0 && !m_strPathIn.empty()) {
        PreviewNewerRows(settings, dateFormat);
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
