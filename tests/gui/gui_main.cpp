#include <QApplication>
#include <QtTest>
#include <cstdio>
#include <exception>
#include <memory>

#include "tests/gui/gui_test_support.h"

int main(int argc, char** argv) {
    // The log reaches the reader even when a test ends the program.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QApplication application(argc, argv);
    int failures = 0;
    for (auto make : {NewAppTest, NewLinkAboutTest, NewSettingsDialogTest, NewChooseDirTest, NewDocumentTest,
                      NewPortfolioWindowTest, NewBatchWindowTest}) {
        std::unique_ptr<QObject> test(make());
        // Qt Test logs an exception a test lets out, then throws it on; the
        // other classes still run.
        try {
            failures += QTest::qExec(test.get(), argc, argv);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", test->metaObject()->className(), e.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
