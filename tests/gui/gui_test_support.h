// Shared pieces of the widget tests: a settings store in a temporary
// directory and an application object whose message boxes are recorded.
#pragma once

#include <QObject>
#include <QtTest>
#include <memory>

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

}  // namespace tarvel::test

// Test classes, each run by gui_main.
QObject* NewAppTest();
QObject* NewLinkAboutTest();
QObject* NewSettingsDialogTest();
QObject* NewChooseDirTest();
QObject* NewDocumentTest();
