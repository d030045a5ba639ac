// The convert command of the log view: load the settings, preset them from
// the layout detected for the opened file, show the dialog, and on OK save
// them, run one conversion and log its outcome.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

#include "batch/count_text.h"
#include "convert/detect.h"
#include "pricedb/extended_masters.h"
#include "settings/conversion_settings.h"
#include "shell/main_frame.h"
#include "shell/settings_dialog.h"
#include "shell/tarvel_app.h"
#include "shell/tarvel_view.h"

namespace tarvel {

namespace {

// What the dialog says of a file whose layout detection could not tell whole.
std::string DetectionNote(const CDetectedLayout& layout) {
    if (!layout.m_bFound) {
        return "Tarvel cannot tell the layout of this file: " + layout.m_strReason +
               ". Set the delimiter, the date format and the columns below; the preview shows what they "
               "read.";
    }
    if (layout.m_bDayMonthUndecided) {
        return "The dates of this file could be day-month or month-day, and no row decides. Choose the date "
               "format below.";
    }
    if (layout.m_bDecimalUndecided) {
        return "The numbers of this file read alike with a decimal comma and with thousands separators "
               "(1,078). "
               "Check Decimal comma below as the file means it.";
    }
    if (layout.m_bIntraday)
        return "This file holds several rows a day (intraday data); Tarvel writes daily data.";
    return {};
}

// Shows each box as `shown` does and keeps its text for the log.
class CLoggedPrompt : public CPrompt {
public:
    explicit CLoggedPrompt(CPrompt& shown) : m_shown(shown) {}
    int MessageBox(const std::string& text, int type) override {
        m_texts.push_back(QString::fromStdString(text));
        return m_shown.MessageBox(text, type);
    }
    const QStringList& Texts() const { return m_texts; }

private:
    CPrompt& m_shown;
    QStringList m_texts;
};

QString RowsQText(long rows) { return QString::fromStdString(RowsText(rows)); }

// The log's words for a conversion that succeeded: what was stored, from
// when to when, what was left out and why.
QString SuccessEntry(const CConverter& job, const QString& symbol) {
    QString entry;
    if (job.m_nRecordsWritten == 0) {
        entry = QStringLiteral("%1: no newer rows; the file's %2 %3 in the portfolio already.")
                    .arg(symbol, RowsQText(job.m_nRecordsLeftOut),
                         job.m_nRecordsLeftOut == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    } else {
        const QString what = job.m_changed.size() > 1
                                 ? QStringLiteral("%1 securities").arg(job.m_changed.size())
                                 : QString::fromStdString(job.m_changed.front().first);
        const QString rows =
            QString::fromStdString(Counted(job.m_nRecordsWritten, job.m_nUpdated > 0 ? "newer row" : "row"));
        const QString first = DayQText(DayOfStoredDate(job.m_firstDateWritten));
        const QString last = DayQText(DayOfStoredDate(job.m_lastDateWritten));
        entry = QStringLiteral("%1: %2 added, %3.")
                    .arg(what, rows, first == last ? first : first + QStringLiteral(" to ") + last);
        if (job.m_nRecordsLeftOut > 0)
            entry += QStringLiteral(" %1 already there left out.").arg(RowsQText(job.m_nRecordsLeftOut));
    }
    if (job.SkippedRows() > 0) {
        entry += QStringLiteral("\r\n%1 skipped; the first, line %2: %3.")
                     .arg(RowsQText(job.SkippedRows()))
                     .arg(job.FirstSkippedLine())
                     .arg(QString::fromStdString(job.FirstSkipReason()));
    }
    return entry;
}

}  // namespace

constexpr int kRecentPortfolios = 4;
constexpr const char* kRecentSection = "Recent Portfolios";

QStringList RecentPortfolios(CSettingsStore& store) {
    QStringList folders;
    for (int i = 1; i <= kRecentPortfolios; ++i) {
        const std::string folder =
            store.GetString(kRecentSection, ("Folder" + std::to_string(i)).c_str(), "");
        if (!folder.empty()) folders << QString::fromStdString(folder);
    }
    return folders;
}

void RememberPortfolio(CSettingsStore& store, const QString& folder) {
    QStringList folders = RecentPortfolios(store);
    folders.removeAll(folder);
    folders.prepend(folder);
    for (int i = 0; i < kRecentPortfolios && i < folders.size(); ++i)
        store.WriteString(kRecentSection, ("Folder" + std::to_string(i + 1)).c_str(),
                          folders[i].toStdString());
}

void CTarvelView::OnSettings() {
    CTarvelApp& app = m_app;
    // The batch holds the portfolio it converts into; a conversion beside it
    // would wait on the window's own thread.
    if (app.mainFrame() != nullptr && app.mainFrame()->BatchRunning()) {
        app.prompt().MessageBox("A batch is converting; let it end, or cancel it, before converting a file.",
                                kMbOk);
        return;
    }
    CSettingsStore& store = *app.m_pSettings;
    CSettingsDlg dialog(app.prompt(), app.platform(), &m_nDateFormat, window());
    CConversionSettings saved = LoadConversionSettings(store);
    // Adding newer rows is chosen for a file, never carried over to the next.
    saved.bUpdate = 0;
    CDetectedLayout layout;
    if (m_strPathIn.isEmpty()) {
        dialog.FromSettings(saved);
    } else {
        const std::string pathIn = m_strPathIn.toStdString();
        const bool masterThere =
            !saved.strPathOut.empty() && app.platform().FindName(saved.strPathOut, kMasterName).has_value();
        layout = DetectFileLayout(app.platform(), pathIn);
        dialog.FromSettings(PresetFromLayout(saved, layout, pathIn, masterThere));
        dialog.SetPathIn(m_strPathIn);
        dialog.SetDetectionNote(QString::fromStdString(DetectionNote(layout)));
    }
    dialog.m_recentPortfolios = RecentPortfolios(store);
    const QSize size(store.GetInt("Screen", "SettingsCx", 0), store.GetInt("Screen", "SettingsCy", 0));
    if (size.width() > 0 && size.height() > 0) dialog.resize(size);
    // A conversion that fails opens the dialog again with the values given,
    // and the reason above them, until it succeeds or is cancelled.
    while (m_runSettingsDialog(dialog) == QDialog::Accepted) {
        store.WriteInt("Screen", "SettingsCx", dialog.width());
        store.WriteInt("Screen", "SettingsCy", dialog.height());
        const QString failure = Convert(dialog.ToSettings(), layout);
        if (failure.isNull()) break;
        dialog.m_bRetry = true;
        dialog.SetDetectionNote(
            QStringLiteral("The conversion failed: %1 Change the settings and press OK, or "
                           "Cancel.")
                .arg(failure));
    }
}

QString CTarvelView::Convert(const CConversionSettings& settings, const CDetectedLayout& layout) {
    CTarvelApp& app = m_app;
    SaveSettingValues(*app.m_pSettings, settings);
    CStoreSettingsWriter writer(*app.m_pSettings);
    CLoggedPrompt prompt(app.prompt());
    CConverter job(app.platform(), prompt, writer);
    FillConverter(settings, m_strPathIn.toStdString(), m_nDateFormat, job);
    // The columns the dialog does not show (time, period, ticker) still hold
    // while the file is read as detected, so intraday data is refused here too.
    if (layout.m_bFound && DelimiterValue(layout.m_cDelimiter) == settings.nDelimiter &&
        layout.m_nFieldColumn[kDate] == settings.nColumn[kDate] - 1) {
        TakeUnsetColumns(layout, job);
    }
    job.m_onWaiting = [this](const std::string& text) {
        if (auto* frame = qobject_cast<QMainWindow*>(window())) {
            frame->statusBar()->showMessage(QString::fromStdString(text));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    };

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString symbol = QString::fromStdString(settings.strSymbol);
    const QString folder = QString::fromStdString(settings.strPathOut);
    QString failure;
    if (job.Run() == 0) {
        AppendToLog(QStringLiteral("\r\nConversion completed successfully!\r\n") + SuccessEntry(job, symbol) +
                    QStringLiteral("\r\nPortfolio: "));
        AppendPortfolioLink(folder, folder);
        RememberPortfolio(*app.m_pSettings, QFileInfo(folder).absoluteFilePath());
        m_beep();
    } else {
        const QStringList& said = prompt.Texts();
        failure = said.isEmpty() ? QStringLiteral("the conversion stopped.") : said.join(' ');
        AppendToLog(
            QStringLiteral("\r\nConversion failed.\r\n%1 into %2: %3\r\n")
                .arg(symbol, QDir::toNativeSeparators(folder), failure) +
            QStringLiteral("Change the settings with File > Settings... (Ctrl+T) and convert again."));
    }
    QApplication::restoreOverrideCursor();
    if (auto* frame = qobject_cast<QMainWindow*>(window())) frame->statusBar()->clearMessage();
    return failure;
}

}  // namespace tarvel
