// The application object: starts and ends the program, owns the settings
// store, the recent-file list and the followed flags of the About box's links.
#pragma once

#include <QByteArrayList>
#include <QFile>
#include <QStringList>
#include <memory>

#include "platform/platform.h"
#include "platform/prompt.h"
#include "settings/settings_store.h"

namespace tarvel {

class CMainFrame;

class CTarvelApp {
public:
    static constexpr int kRecentFiles = 4;

    // `platform` and `prompt` serve every file and message box of the run.
    CTarvelApp(CPlatform& platform, CPrompt& prompt);
    ~CTarvelApp();

    // Start-up: settings store, first-run import, recent files, main window,
    // then the command line (`files`: the files and folders to open, their
    // names as the system has them). Returns false when the program must end.
    bool InitInstance(const QByteArrayList& files);
    // Deletes the settings store; returns `exitCode`.
    int ExitInstance(int exitCode);

    void OnAppAbout();
    // File Open, a recent file, the command line and a drop all end here.
    // `path` is the file name as the system has it (QFile::encodeName).
    bool OpenDocumentFile(const QByteArray& path);
    bool OpenDocumentFile(const QString& path) { return OpenDocumentFile(QFile::encodeName(path)); }
    // Open, the command line and a drop with several names: one file opens as
    // OpenDocumentFile opens it; several files, or any folder, open the batch
    // window.
    void OpenFiles(const QByteArrayList& paths);
    void AddToRecentFileList(const QString& path);
    const QStringList& RecentFiles() const { return m_recentFiles; }

    CPlatform& platform() { return m_platform; }
    CPrompt& prompt() { return m_prompt; }
    CMainFrame* mainFrame() { return m_pMainWnd.get(); }

    CSettingsStore* m_pSettings = nullptr;
    int m_bVisitedMail = 0;
    int m_bVisitedWeb = 0;

private:
    CPlatform& m_platform;
    CPrompt& m_prompt;
    QStringList m_recentFiles;
    std::unique_ptr<CMainFrame> m_pMainWnd;
};

}  // namespace tarvel
