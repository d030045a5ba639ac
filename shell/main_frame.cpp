#include "shell/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "res/resource_ids.h"
#include "settings/conversion_settings.h"
#include "shell/batch_window.h"
#include "shell/portfolio_window.h"
#include "shell/tarvel_app.h"

namespace tarvel {

namespace {

const QString kOpenFilters = QStringLiteral("Price Files (*.csv *.txt *.tsv *.prn);;All Files (*)");

}  // namespace

QRect ComputePlacement(int x, int y, int cx, int cy, QSize workArea) {
    const int w = workArea.width(), h = workArea.height();
    if (cx > 0 && cy > 0 && x >= 0 && y >= 0 && cx <= w && cy <= h && x <= w && y <= h)
        return QRect(x, y, cx, cy);
    const double scale = static_cast<double>(0.85f);  // 0x3F59999A, a little above 0.85
    const int width = static_cast<int>(w * scale);
    const int height = static_cast<int>(h * scale);
    return QRect((w - width) / 2, (h - height) / 2, width, height);
}

CMainFrame::CMainFrame(CTarvelApp& app)
    : m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      m_app(app),
      m_pView(new CTarvelView(app, this)),
      m_document(app, *m_pView) {
    setWindowTitle(QString::fromLatin1(res::kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tarvel.png")));
    setCentralWidget(m_pView);
    m_pView->m_openPortfolio = [this](const QString& dir) { OnPortfolio(dir); };
    setAcceptDrops(true);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    PreCreateWindow();
    UpdateCommandUI();
    m_pView->m_onPathChanged = [this] { UpdateCommandUI(); };
    qApp->installEventFilter(this);
}

QAction* CMainFrame::AddCommand(int id, const QString& text, const char* prompt, const QString& icon,
                                const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    QString promptText = QString::fromLatin1(prompt);
    action->setStatusTip(promptText.section(QLatin1Char('\n'), 0, 0));
    if (promptText.contains(QLatin1Char('\n'))) {
        action->setToolTip(promptText.section(QLatin1Char('\n'), 1));
        action->setIconText(action->toolTip());
    }
    if (!icon.isEmpty()) action->setIcon(QIcon(icon));
    action->setShortcuts(keys);
    action->setData(id);
    addAction(action);  // reachable by its keys even when on no menu
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateActions() {
    using namespace res;
    connect(AddCommand(ID_FILE_OPEN, tr("&Open..."), "Open a price file to convert\nOpen",
                       QStringLiteral(":/icons/open.png"), {QKeySequence(Qt::CTRL | Qt::Key_O)}),
            &QAction::triggered, this, [this] {
                QByteArrayList paths;
                for (const QString& path :
                     QFileDialog::getOpenFileNames(this, tr("Open"), OpenFolder(), kOpenFilters))
                    paths << QFile::encodeName(path);
                m_app.OpenFiles(paths);
            });
    connect(AddCommand(ID_FILE_SETTINGS, tr("&Settings..."),
                       "Set how the opened file is converted, then convert it\nConversion Settings",
                       QStringLiteral(":/icons/settings.png"), {QKeySequence(Qt::CTRL | Qt::Key_T)}),
            &QAction::triggered, m_pView, &CTarvelView::OnSettings);
    connect(
        AddCommand(ID_FILE_SAVE_LOG, tr("Save &Log..."), "Save the log's entries to a text file\nSave Log"),
        &QAction::triggered, this, [this] {
            QString path = QFileDialog::getSaveFileName(this, tr("Save Log"),
                                                        OpenFolder() + QStringLiteral("/tarvel-log.txt"),
                                                        tr("Text Files (*.txt);;All Files (*)"));
            if (!path.isEmpty()) SaveLog(path);
        });
    connect(AddCommand(ID_APP_EXIT, tr("E&xit"), "Quit Tarvel\nExit"), &QAction::triggered, this,
            &QWidget::close);
    connect(AddCommand(ID_VIEW_CLEARWINDOW, tr("&Clear Window"), "Clear the log\nClear Log",
                       QStringLiteral(":/icons/clear.png")),
            &QAction::triggered, m_pView, &CTarvelView::OnClearWindow);
    // F1 itself belongs to ID_HELP; the menu names it.
    connect(AddCommand(ID_HELP_FINDER, tr("&Help\tF1"), "Open Tarvel's help\nHelp",
                       QStringLiteral(":/icons/about.png")),
            &QAction::triggered, this, [this] { OnHelp(); });
    connect(AddCommand(ID_APP_ABOUT, tr("&About Tarvel..."),
                       "Show Tarvel's version, copyright and licence\nAbout"),
            &QAction::triggered, this, [this] { m_app.OnAppAbout(); });

    // Accelerators without a menu item.
    connect(AddCommand(ID_FILE_NEW, tr("New"), "Create a new document\nNew", {},
                       {QKeySequence(Qt::CTRL | Qt::Key_N)}),
            &QAction::triggered, this, [this] { m_document.OnNewDocument(); });
    // The document has nothing to save: Save never touches the opened file.
    AddCommand(ID_FILE_SAVE, tr("Save"), "Save the active document\nSave", {},
               {QKeySequence(Qt::CTRL | Qt::Key_S)});
    connect(AddCommand(ID_EDIT_COPY, tr("Copy"), "Copy the selection and put it on the Clipboard\nCopy", {},
                       {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}),
            &QAction::triggered, m_pView, &QPlainTextEdit::copy);
    AddCommand(ID_EDIT_CUT, tr("Cut"), "Cut the selection and put it on the Clipboard\nCut", {},
               {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    AddCommand(ID_EDIT_PASTE, tr("Paste"), "Insert Clipboard contents\nPaste", {},
               {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    AddCommand(ID_EDIT_UNDO, tr("Undo"), "Undo the last action\nUndo", {},
               {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    AddCommand(ID_NEXT_PANE, tr("Next Pane"), "Switch to the next window pane\nNext Pane", {},
               {QKeySequence(Qt::Key_F6)});
    AddCommand(ID_PREV_PANE, tr("Previous Pane"), "Switch back to the previous window pane\nPrevious Pane",
               {}, {QKeySequence(Qt::SHIFT | Qt::Key_F6)});
    connect(AddCommand(ID_CONTEXT_HELP, tr("Help"),
                       "Display help for clicked on buttons, menus and windows\nHelp", {},
                       {QKeySequence(Qt::SHIFT | Qt::Key_F1)}),
            &QAction::triggered, this, &CMainFrame::OnContextHelp);
    connect(AddCommand(ID_HELP, tr("Help"), "Display help for current task or command\nHelp", {},
                       {QKeySequence(Qt::Key_F1)}),
            &QAction::triggered, this, [this] { OnHelp(); });
}

void CMainFrame::CreateMenus() {
    using namespace res;
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    m_fileMenu->addAction(action(ID_FILE_OPEN));
    action(ID_FILE_OPEN)->setShortcutVisibleInContextMenu(true);
    m_fileMenu->addAction(action(ID_FILE_SETTINGS));
    m_fileMenu->addAction(action(ID_FILE_SAVE_LOG));
    m_fileMenu->addSeparator();
    m_recentSeparator = m_fileMenu->addSeparator();
    m_fileMenu->addAction(action(ID_APP_EXIT));
    connect(m_fileMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    UpdateRecentFileMenu();

    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(action(ID_VIEW_CLEARWINDOW));
    QAction* portfolio =
        viewMenu->addAction(tr("&Portfolio..."), QKeySequence(tr("Ctrl+P")), this, [this] { OnPortfolio(); });
    portfolio->setStatusTip(
        tr("Show the securities of a portfolio, chart their prices, rename, remove or undo"));

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(action(ID_HELP_FINDER));
    helpMenu->addSeparator();
    helpMenu->addAction(action(ID_APP_ABOUT));
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::OnPortfolio(const QString& chosen) {
    QString dir = !chosen.isEmpty() ? chosen : m_portfolio ? m_portfolio->Directory() : QString();
    if (dir.isEmpty() && m_app.m_pSettings != nullptr) {
        const std::string out = LoadConversionSettings(*m_app.m_pSettings).strPathOut;
        if (!out.empty() && m_app.platform().FindName(out, kMasterName)) dir = QString::fromStdString(out);
    }
    if (dir.isEmpty()) {
        dir = QFileDialog::getExistingDirectory(this, tr("Open Portfolio Folder"), QDir::homePath());
        if (dir.isEmpty()) return;
    }
    if (!m_portfolio) m_portfolio = std::make_unique<CPortfolioWindow>(m_app);
    if (!m_portfolio->OpenPortfolio(dir)) return;
    m_portfolio->show();
    m_portfolio->raise();
    m_portfolio->activateWindow();
}

void CMainFrame::UpdateRecentFileMenu() {
    for (QAction* a : m_recentActions) {
        m_fileMenu->removeAction(a);
        delete a;
    }
    m_recentActions.clear();
    const QStringList& files = m_app.RecentFiles();
    if (files.isEmpty()) {
        auto* placeholder = new QAction(tr("Recent File"), this);
        placeholder->setEnabled(false);
        m_recentActions.append(placeholder);
    }
    for (int i = 0; i < files.size(); ++i) {
        auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]), this);
        entry->setStatusTip(tr("Open this document"));
        entry->setData(res::ID_FILE_MRU_FILE1 + i);
        QString path = files[i];
        connect(entry, &QAction::triggered, this, [this, path] { m_app.OpenDocumentFile(path); });
        m_recentActions.append(entry);
    }
    m_fileMenu->insertActions(m_recentSeparator, m_recentActions);
}

void CMainFrame::CreateToolBar() {
    using namespace res;
    m_wndToolBar = addToolBar(tr("Toolbar"));
    m_wndToolBar->setObjectName(QStringLiteral("toolbar128"));
    m_wndToolBar->setIconSize(QSize(16, 15));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_wndToolBar->addAction(action(ID_FILE_OPEN));
    m_wndToolBar->addAction(action(ID_FILE_SETTINGS));
    m_wndToolBar->addAction(action(ID_VIEW_CLEARWINDOW));
    m_wndToolBar->addSeparator();
    m_wndToolBar->addAction(action(ID_HELP_FINDER));
    // Words beside the pictures: a tick and a cross would read as OK and Cancel.
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    const QString idle = QString::fromLatin1(res::kIdleMessage);
    bar->showMessage(idle);
    // When a prompt goes away, the idle text comes back.
    connect(bar, &QStatusBar::messageChanged, bar, [bar, idle](const QString& message) {
        if (message.isEmpty()) bar->showMessage(idle);
    });
}

void CMainFrame::PreCreateWindow() {
    CSettingsStore& store = *m_app.m_pSettings;
    int x = store.GetInt("Screen", "x", 0);
    int y = store.GetInt("Screen", "y", 0);
    int cx = store.GetInt("Screen", "cx", 0);
    int cy = store.GetInt("Screen", "cy", 0);
    // The work area of the screen that holds the window.
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    QSize workArea = screen ? screen->availableGeometry().size() : QSize(800, 600);
    m_placement = ComputePlacement(x, y, cx, cy, workArea);
    move(m_placement.topLeft());
    resize(m_placement.size());
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_bPlaced) return;
    m_bPlaced = true;
    // The placement is the outer rectangle; the decorations are known only now.
    QSize decorations = frameGeometry().size() - size();
    resize(m_placement.size() - decorations);
    move(m_placement.topLeft());
}

void CMainFrame::UpdateCommandUI() { action(res::ID_FILE_SETTINGS)->setEnabled(m_pView->OnUpdateSettings()); }

void CMainFrame::OnClose() {
    if (isMinimized()) return;
    QRect outer = frameGeometry();
    CSettingsStore& store = *m_app.m_pSettings;
    store.WriteInt("Screen", "cx", outer.width());
    store.WriteInt("Screen", "cy", outer.height());
    store.WriteInt("Screen", "x", std::max(outer.left(), 0));
    store.WriteInt("Screen", "y", std::max(outer.top(), 0));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A running batch is stopped, not cut off: its entry reaches the log,
    // and Tarvel closes once it has ended.
    if (m_batch && m_batch->Running()) {
        m_batch->Stop();
        m_batch->m_onEnded = [this] { QTimer::singleShot(0, this, &QWidget::close); };
        event->ignore();
        return;
    }
    OnClose();
    event->accept();
}

QUrl CMainFrame::OnHelp() {
    // Beside the program (the Windows installer and zip), where the Linux
    // package installs it, then the source tree of a build.
    QStringList candidates = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html"),
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tarvel/help/index.html"),
        QStringLiteral(TARVEL_HELP_DIR "/index.html")};
    QUrl page;
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            page = QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath());
            break;
        }
    }
    if (page.isEmpty()) {
        m_app.prompt().MessageBox("The help page is not installed: " + candidates.front().toStdString() +
                                      " is missing. Reinstall Tarvel to have it back.",
                                  kMbOk);
        return page;
    }
    // No browser: the page in a window of the program.
    if (!m_openUrl(page)) {
        if (!m_help) {
            m_help = std::make_unique<QTextBrowser>();
            m_help->setWindowTitle(tr("Tarvel Help"));
            m_help->setOpenExternalLinks(true);
            m_help->resize(720, 560);
        }
        m_help->setSource(page);
        m_help->show();
        m_help->raise();
    }
    return page;
}

QString CMainFrame::OpenFolder() const {
    const QStringList& recent = m_app.RecentFiles();
    const QString folder = recent.isEmpty() ? QString() : QFileInfo(recent.first()).absolutePath();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

bool CMainFrame::SaveLog(const QString& path) {
    QSaveFile file(path);
    QByteArray text = m_pView->toPlainText().toUtf8();
    if (!text.isEmpty() && !text.endsWith('\n')) text += '\n';
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit()) return true;
    m_app.prompt().MessageBox("Cannot save the log to " + QDir::toNativeSeparators(path).toStdString() +
                                  ": " + file.errorString().toStdString(),
                              kMbOk);
    return false;
}

void CMainFrame::OnContextHelp() {
    m_bHelpMode = true;
    QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    statusBar()->showMessage(QString::fromLatin1(res::kHelpModeMessage));
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (m_bHelpMode && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)) {
        // Help mode ends with the next pick; a pick opens help, Escape cancels.
        m_bHelpMode = false;
        QApplication::restoreOverrideCursor();
        statusBar()->showMessage(QString::fromLatin1(res::kIdleMessage));
        bool cancelled =
            event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
        if (!cancelled) OnHelp();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {

// The local files and folders of a drop, their names as the system has them.
QByteArrayList DroppedPaths(const QMimeData* mime) {
    QByteArrayList paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
#ifdef _WIN32
        paths << QFile::encodeName(url.toLocalFile());
#else
        // The URL's percent-encoded bytes are the file name as the system has
        // it; toLocalFile() would replace bytes that are not UTF-8.
        paths << QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
#endif
    }
    return paths;
}

}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    if (OnDropFiles(event->mimeData())) event->acceptProposedAction();
}

bool CMainFrame::OnDropFiles(const QMimeData* mime) {
    const QByteArrayList paths = DroppedPaths(mime);
    if (paths.isEmpty()) return false;
    // Opened after the drop returns, so the source application is not held.
    QTimer::singleShot(0, this, [this, paths] { m_app.OpenFiles(paths); });
    return true;
}

bool CMainFrame::BatchRunning() const { return m_batch && m_batch->Running(); }

void CMainFrame::OpenBatch(const std::vector<std::string>& inputs) {
    if (BatchRunning()) {
        m_app.prompt().MessageBox(
            "A batch is converting; let it end, or cancel it, before opening more files.", kMbOk);
        m_batch->raise();
        return;
    }
    auto batch = std::make_unique<CBatchWindow>(m_app, this);
    if (!batch->SetInputs(inputs)) return;
    batch->m_onFinished = [this](const QString& entry, const QString& folder) {
        m_pView->AppendToLog(entry);
        if (!folder.isEmpty()) m_pView->AppendPortfolioLink(folder, folder);
    };
    m_batch = std::move(batch);
    m_batch->show();
    m_batch->raise();
    m_batch->activateWindow();
}

}  // namespace tarvel
