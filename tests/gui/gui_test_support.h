// Shared pieces of the widget tests: a settings store in a temporary
// directory and an application object whose message boxes are recorded.
#pragma once

#include <QObject>
#include <QtTest>
#include <memory>
#include <set>

#include "shell/main_frame.h"
#include "shell/tarvel_app.h"
#include "tests/support/fake_platform.h"
#include "tests/support/settings_env.h"

namespace tarvel::test {

// A started application over a temporary settings store.
struct CAppFixture {
    CAppFixture(const QByteArrayList& files = {}) : app(platform, prompt) {
        app.InitInstance(files);
        frame().view().m_beep = [this] { ++beeps; };
    }
    CMainFrame& frame() { return *app.mainFrame(); }
    CTarvelView& view() { return frame().view(); }

    CSettingsEnv env;
    CFaultyPlatform platform;
    CRecordingPrompt prompt;
    CTarvelApp app;
    int beeps = 0;
};

// Adds the rows of the table file `name` in tests/data to the running test's
// data: its first row names the columns, all of QString, and the first field
// of each further row names that row.
inline void AddTableRows(const std::string& name) {
    const auto table = ReadTable(TARVEL_TEST_DATA_DIR "/" + name);
    static std::set<std::string> columns;  // QTest keeps the names, not copies
    for (std::size_t c = 1; c < table[0].size(); ++c)
        QTest::addColumn<QString>(columns.insert(table[0][c]).first->c_str());
    for (std::size_t r = 1; r < table.size(); ++r) {
        QTestData& row = QTest::newRow(table[r][0].c_str());
        for (std::size_t c = 1; c < table[r].size(); ++c) row << QString::fromStdString(table[r][c]);
    }
}

}  // namespace tarvel::test

// Test classes, each run by gui_main.
QObject* NewAppTest();
QObject* NewLinkAboutTest();
QObject* NewSettingsDialogTest();
QObject* NewChooseDirTest();
QObject* NewDocumentTest();
QObject* NewPortfolioWindowTest();
QObject* NewBatchWindowTest();
