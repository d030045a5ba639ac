#include "shell/tarvel_app.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <string>
#include <vector>

#include "shell/about_dlg.h"
#include "shell/main_frame.h"
#include "shell/tarvel_doc.h"

static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace tarvel {
namespace {

constexpr const char* kRecentSection = "Recent File List";

}  // namespace

CTarvelApp::CTarvelApp(CPlatform& platform, CPrompt& prompt) : m_platform(platform), m_prompt(prompt) {
    InitResources();
}

CTarvelApp::~CTarvelApp() {
    m_pMainWnd.reset();
    delete m_pSettings;
}

bool CTarvelApp::InitInstance(const QByteArrayList& files) {
    m_pSettings = new CSettingsStore;
    bool created = false;
    if (m_pSettings->CreateKey(&created, "Software\\Hollark Software\\Tarvel") && created)
        m_pSettings->ImportIni();

    for (int i = 1; i <= kRecentFiles; ++i) {
        std::string key = "File" + std::to_string(i);
        std::string path = m_pSettings->GetString(kRecentSection, key.c_str(), "");
        if (!path.empty()) m_recentFiles.append(QString::fromStdString(path));
    }

    m_pMainWnd = std::make_unique<CMainFrame>(*this);
    m_pMainWnd->show();
    // The files are opened once the window is up, as from the menu.
    if (!files.isEmpty()) QTimer::singleShot(0, m_pMainWnd.get(), [this, files] { OpenFiles(files); });
    return true;
}

int CTarvelApp::ExitInstance(int exitCode) {
    m_pMainWnd.reset();
    delete m_pSettings;
    m_pSettings = nullptr;
    return exitCode;
}

void CTarvelApp::OnAppAbout() {
    CAboutDlg about(&m_bVisitedMail, &m_bVisitedWeb, m_pMainWnd.get());
    about.exec();
}

bool CTarvelApp::OpenDocumentFile(const QByteArray& path) {
    if (!m_pMainWnd->document().OnOpenDocument(path)) return false;
    AddToRecentFileList(QFile::decodeName(path));
    return true;
}

void CTarvelApp::OpenFiles(const QByteArrayList& given) {
    if (given.isEmpty()) return;
#ifdef _WIN32
    // Qt's dialogs and drops name files with forward slashes; the log, the
    // settings and the recent files show them as Windows writes them.
    QByteArrayList paths;
    for (const QByteArray& path : given)
        paths << QFile::encodeName(QDir::toNativeSeparators(QFile::decodeName(path)));
#else
    const QByteArrayList& paths = given;
#endif
    if (paths.size() == 1 && !QFileInfo(QFile::decodeName(paths.first())).isDir()) {
        OpenDocumentFile(paths.first());
        return;
    }
    std::vector<std::string> inputs;
    for (const QByteArray& path : paths) inputs.push_back(path.toStdString());
    m_pMainWnd->OpenBatch(inputs);
}

void CTarvelApp::AddToRecentFileList(const QString& path) {
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kRecentFiles) m_recentFiles.removeLast();
    for (int i = 0; i < kRecentFiles; ++i) {
        std::string key = "File" + std::to_string(i + 1);
        m_pSettings->WriteString(kRecentSection, key.c_str(),
                                 i < m_recentFiles.size() ? m_recentFiles[i].toStdString() : std::string());
    }
    if (m_pMainWnd) m_pMainWnd->UpdateRecentFileMenu();
}

}  // namespace tarvel
