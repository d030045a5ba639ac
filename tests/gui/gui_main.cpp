#include <QApplication>
#include <QtTest>
#include <memory>

#include "tests/gui/gui_test_support.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failures = 0;
    for (auto make : {NewAppTest, NewLinkAboutTest, NewSettingsDialogTest, NewChooseDirTest, NewDocumentTest,
                      NewPortfolioWindowTest, NewBatchWindowTest}) {
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
