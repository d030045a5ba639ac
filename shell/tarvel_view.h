// The log: a read-only, word-wrapped text window. It also holds the path of
// the file opened last and the date format number chosen last, and runs the
// convert command.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <functional>

namespace tarvel {

class CTarvelApp;
class CSettingsDlg;
class CSettingsStore;
struct CConversionSettings;
struct CDetectedLayout;

class CTarvelView : public QPlainTextEdit {
public:
    CTarvelView(CTarvelApp& app, QWidget* parent);

    // Appends `text` at the end ("\r\n" is a line end), scrolls to it and
    // leaves the document unmodified.
    void AppendToLog(const QString& text);
    // Appends `text` as a link that opens the portfolio window on `portfolio`.
    void AppendPortfolioLink(const QString& text, const QString& portfolio);
    // The portfolio a link of the log at `pos` (viewport coordinates) opens;
    // empty when there is none.
    QString PortfolioLinkAt(const QPoint& pos) const;
    void OnClearWindow();
    // Whether "Settings..." is enabled: a file has been opened.
    bool OnUpdateSettings() const { return !m_strPathIn.isEmpty(); }
    // The convert command: settings dialog, then on OK the conversion; a
    // conversion that fails opens the dialog again.
    void OnSettings();

    // Writes the opened file's first lines into the log, then runs OnSettings.
    void OnPreviewFile();
    void SetPathIn(const QByteArray& path);

    // The opened file's name as the system has it (QFile::encodeName), so a
    // name that is not valid UTF-8 still opens.
    QByteArray m_strPathIn;
    int m_nDateFormat = 1;

    // Runs the settings dialog modally and returns its result; tests replace it.
    std::function<int(CSettingsDlg&)> m_runSettingsDialog;
    std::function<void()> m_onPathChanged;
    // The information beep of a successful conversion; tests count it.
    std::function<void()> m_beep;
    // Opens the portfolio window on a folder; the main window sets it.
    std::function<void(const QString&)> m_openPortfolio;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Converts the opened file with `settings` and logs the outcome; a null
    // string on success, else the failure's reason.
    QString Convert(const CConversionSettings& settings, const CDetectedLayout& layout);

    CTarvelApp& m_app;
};

// The portfolio folders converted into lately, newest first, as settings
// section "Recent Portfolios" keeps them; RememberPortfolio puts `folder`
// first.
QStringList RecentPortfolios(CSettingsStore& store);
void RememberPortfolio(CSettingsStore& store, const QString& folder);

// The preview's first lines: at most 10 pieces of at most 299 bytes.
inline constexpr int kPreviewPieces = 10;

}  // namespace tarvel
