#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <exception>
#include <memory>

#include "tests/gui/gui_test_support.h"

int main(int argc, char** argv) {
    // The log reaches the reader even when a test ends the program.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
#ifdef _WIN32
    // Under Wine the log Qt Test writes to standard output never arrives;
    // each class writes it to a file, copied to standard output after it.
    QTemporaryDir logs;
    const bool copyLog = !arguments.contains(QStringLiteral("-o")) && logs.isValid();
    const QString log = logs.filePath(QStringLiteral("log.txt"));
    if (copyLog) arguments << QStringLiteral("-o") << log + QStringLiteral(",txt");
#endif
    int failures = 0;
    for (auto make : {NewAppTest, NewLinkAboutTest, NewSettingsDialogTest, NewChooseDirTest, NewDocumentTest,
                      NewPortfolioWindowTest, NewBatchWindowTest}) {
        std::unique_ptr<QObject> test(make());
        // Qt Test logs an exception a test lets out, then throws it on; the
        // other classes still run.
        try {
            failures += QTest::qExec(test.get(), arguments);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", test->metaObject()->className(), e.what());
            ++failures;
        }
#ifdef _WIN32
        if (QFile file(log); copyLog && file.open(QIODevice::ReadOnly)) {
            const QByteArray text = file.readAll();
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        }
#endif
    }
    return failures == 0 ? 0 : 1;
}
