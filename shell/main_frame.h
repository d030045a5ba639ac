// The main window: menu, toolbar, one-pane status bar, the log view; title
// always "Tarvel". Restores its placement from section "Screen" and saves it
// when closed.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMap>
#include <QRect>
#include <QSize>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/tarvel_doc.h"
#include "shell/tarvel_view.h"

namespace tarvel {

class CTarvelApp;
class CPortfolioWindow;
class CBatchWindow;

// The placement the window opens with: the saved one when cx, cy > 0,
// x, y >= 0 and cx, cy, x, y are within the work area's width and height;
// otherwise 85 % of the work area (the single-precision 0.85), centred.
QRect ComputePlacement(int x, int y, int cx, int cy, QSize workArea);

class CMainFrame : public QMainWindow {
public:
    explicit CMainFrame(CTarvelApp& app);
    ~CMainFrame() override;

    CTarvelView& view() { return *m_pView; }
    CTarvelDoc& document() { return m_document; }
    QAction* action(int id) const { return m_actions.value(id); }
    QToolBar* toolBar() const { return m_wndToolBar; }

    // Applies the enabling rules ("Settings..." while a file is open).
    void UpdateCommandUI();
    void UpdateRecentFileMenu();
    // Saves the placement (unless minimised) as closing does.
    void OnClose();
    // Opens the help page with the desktop's browser or, when there is none,
    // in a help window; returns the page's address (empty, after a message,
    // when the page is missing).
    QUrl OnHelp();
    QTextBrowser* helpWindow() const { return m_help.get(); }
    // File > Save Log...: the log's text as UTF-8; false after a message.
    bool SaveLog(const QString& path);
    // Where Open and Save Log start: the folder of the file opened last,
    // else the home folder.
    QString OpenFolder() const;
    // Opens an address with the desktop; QDesktopServices by default.
    std::function<bool(const QUrl&)> m_openUrl;
    void OnContextHelp();
    bool InHelpMode() const { return m_bHelpMode; }
    // Opens the local files and folders of a drop, once the drop has
    // returned, as OpenFiles opens them.
    bool OnDropFiles(const QMimeData* mime);
    // The batch window on `inputs` (files and folders); refused with a
    // message while a batch runs.
    void OpenBatch(const std::vector<std::string>& inputs);
    CBatchWindow* batchWindow() const { return m_batch.get(); }
    // Whether a batch is converting; it holds the portfolio's lock meanwhile.
    bool BatchRunning() const;
    // View > Portfolio: the portfolio window on `dir`, else on the one it
    // shows, else on the folder conversions go to, else on one the user
    // chooses.
    void OnPortfolio(const QString& dir = QString());
    CPortfolioWindow* portfolioWindow() const { return m_portfolio.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddCommand(int id, const QString& text, const char* prompt, const QString& icon = QString(),
                        const QList<QKeySequence>& keys = {});
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void PreCreateWindow();

    CTarvelApp& m_app;
    CTarvelView* m_pView;  // owned as the central widget
    CTarvelDoc m_document;
    QToolBar* m_wndToolBar = nullptr;
    QMap<int, QAction*> m_actions;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentSeparator = nullptr;
    QList<QAction*> m_recentActions;
    QRect m_placement;
    bool m_bPlaced = false;
    bool m_bHelpMode = false;
    std::unique_ptr<CPortfolioWindow> m_portfolio;
    std::unique_ptr<QTextBrowser> m_help;
    std::unique_ptr<CBatchWindow> m_batch;
};

}  // namespace tarvel
