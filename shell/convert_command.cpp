// The convert command of the log view: load the settings, preset them from
// the layout detected for the opened file, show the dialog, and on OK save
// them, run one conversion and log its outcome.
#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>

#include "convert/detect.h"
#include "settings/conversion_settings.h"
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

}  // namespace

void CTarvelView::OnSettings() {
    CTarvelApp& app = m_app;
    CSettingsDlg dialog(app.prompt(), app.platform(), &m_nDateFormat, window());
    CConversionSettings saved = LoadConversionSettings(*app.m_pSettings);
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
    if (m_runSettingsDialog(dialog) != QDialog::Accepted) return;

    CConversionSettings settings = dialog.ToSettings();
    SaveSettingValues(*app.m_pSettings, settings);
    CStoreSettingsWriter writer(*app.m_pSettings);
    CConverter job(app.platform(), app.prompt(), writer);
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
    if (job.Run() == 0) {
        AppendPortfolioLink(
            QStringLiteral("Show %1 in the portfolio window").arg(QString::fromStdString(settings.strSymbol)),
            QString::fromStdString(settings.strPathOut));
        AppendToLog(QStringLiteral("\r\nConversion completed successfully!"));
        m_beep();
    } else {
        AppendToLog(QStringLiteral("\r\nConversion failed."));
    }
    QApplication::restoreOverrideCursor();
    if (auto* frame = qobject_cast<QMainWindow*>(window())) frame->statusBar()->clearMessage();
}

}  // namespace tarvel
