#include "shell/batch_window.h"

#include <QMimeData>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/portfolio_check.h"

using namespace tarvel;
namespace fs = std::filesystem;

namespace {

// tarvel-cli with `args`; its standard output.
std::string Cli(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"tarvel-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return out.str();
}

// The day's inputs in `dir`: two files, and a folder of one good file and one
// that holds no prices.
std::vector<std::string> DayInputs(const std::string& dir) {
    fs::create_directories(fs::path(dir) / "more");
    for (const char* name : {"acme-daily.csv", "wheat-futures.txt"})
        fs::copy_file(fs::path(TARVEL_EXAMPLES_DIR) / name, fs::path(dir) / name);
    fs::copy_file(fs::path(TARVEL_EXAMPLES_DIR) / "bond-index.csv", fs::path(dir) / "more/bond-index.csv");
    fs::copy_file(fs::path(TARVEL_TEST_DATA_DIR) / "batch/broken.csv", fs::path(dir) / "more/broken.csv");
    return {dir + "/acme-daily.csv", dir + "/wheat-futures.txt", dir + "/more"};
}

// Runs the window's batch into `folder` to its end.
void RunBatch(CBatchWindow& window, const QString& folder, bool update) {
    window.m_folder->setText(folder);
    window.m_update->setChecked(update);
    QVERIFY(window.m_convert->isEnabled());
    window.m_convert->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.Running(), 60000);
}

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

private slots:
    // A day's files and a folder: stopped once after the first file, then
    // run again with newer rows added; the portfolio is byte for byte what
    // tarvel-cli makes of the same inputs, and the log has its summary.
    void convertsLikeTheCommandLineAndStopsBetweenFiles() {
        test::CAppFixture f;
        const std::vector<std::string> inputs = DayInputs(f.env / "in");
        f.frame().OpenBatch(inputs);
        CBatchWindow* window = f.frame().batchWindow();
        QVERIFY(window != nullptr);
        // The tests' screen is 800x600: the window, its buttons included, fits.
        QVERIFY(window->screen()->availableSize().width() >= window->frameGeometry().width());
        QTableWidget& table = *window->m_table;
        QCOMPARE(table.rowCount(), 4);
        auto cell = [&table](int row, int column) { return table.item(row, column)->text(); };
        QCOMPARE(cell(0, CBatchWindow::kSymbol), QStringLiteral("ACME-DAILY"));
        QCOMPARE(cell(0, CBatchWindow::kRows), QStringLiteral("60"));
        QCOMPARE(cell(2, CBatchWindow::kFirst), QStringLiteral("2025-03-03"));
        QCOMPARE(cell(3, CBatchWindow::kFile), QStringLiteral("broken.csv"));
        QVERIFY2(!cell(3, CBatchWindow::kProblem).isEmpty(), "the file of no prices says why");
        QVERIFY(cell(0, CBatchWindow::kProblem).isEmpty());
        for (int row = 0; row < 4; ++row) QVERIFY(!cell(row, CBatchWindow::kProblem).contains("--"));

        const QString folder = QString::fromStdString(f.env / "pf");
        // Cancel while the second file is shown being read: it is not added.
        window->m_onFileRead = [window](int row) {
            if (row != 1) return;
            QCOMPARE(window->m_status->text(), QStringLiteral("Converting wheat-futures.txt (2 of 4)..."));
            window->m_close->click();
        };
        RunBatch(*window, folder, false);
        QCOMPARE(window->m_status->text(),
                 QStringLiteral("Converted 1 file (60 rows) into 1 security; stopped before 3 files."));
        // What a batch of the first file alone makes.
        fs::create_directory(fs::path(f.env / "first"));
        fs::copy_file(fs::path(inputs[0]), fs::path(f.env / "first/acme-daily.csv"));
        Cli({"convert", f.env / "first", "--out", f.env / "pf1"});
        QVERIFY(test::Snapshot(f.env / "pf") == test::Snapshot(f.env / "pf1"));

        QCOMPARE(cell(1, CBatchWindow::kProblem), QStringLiteral("Not converted: the batch was stopped."));
        window->m_onFileRead = nullptr;
        RunBatch(*window, folder, true);
        const std::string pf2 = f.env / "pf2";
        Cli({"convert", inputs[0], "--out", pf2});
        std::vector<std::string> args{"convert"};
        args.insert(args.end(), inputs.begin(), inputs.end());
        args.insert(args.end(), {"--out", pf2, "--update"});
        const std::string summary = Cli(args);
        QCOMPARE(summary,
                 std::string("Converted 3 files (70 rows) into 2 securities; 60 rows already there left "
                             "out; 1 failed: see above.\n"));
        QCOMPARE(cell(3, CBatchWindow::kProblem).isEmpty(), false);
        QVERIFY(test::Snapshot(f.env / "pf") == test::Snapshot(pf2));
        QCOMPARE(test::CheckPortfolio(f.env / "pf"), std::string());
        const QString log = f.view().toPlainText();
        QVERIFY2(log.contains(QStringLiteral("stopped before 3 files")) &&
                     log.contains(QString::fromStdString(summary).trimmed()) &&
                     log.contains(QStringLiteral("broken.csv: ")),
                 qPrintable(log));
    }

    // Several names, or a folder, from a drop or the command line open the
    // batch window; one file still opens as before.
    void aDropOrACommandLineOfSeveralOpensTheBatchWindow() {
        test::CSettingsEnv env;
        const std::vector<std::string> inputs = DayInputs(env / "in");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(inputs[0])),
                      QUrl::fromLocalFile(QString::fromStdString(inputs[2]))});
        {
            test::CAppFixture f;
            QVERIFY(f.frame().OnDropFiles(&mime));
            QTRY_VERIFY(f.frame().batchWindow() != nullptr);
            QCOMPARE(f.frame().batchWindow()->m_table->rowCount(), 3);
        }
        test::CAppFixture f({QByteArray::fromStdString(inputs[2])});
        QTRY_VERIFY(f.frame().batchWindow() != nullptr);
        QCOMPARE(f.frame().batchWindow()->m_table->rowCount(), 2);
    }

    // Closing the main window during a batch stops it after the file being
    // read; its entry reaches the log, then the window closes.
    void closingDuringABatchStopsItAndKeepsItsEntry() {
        test::CAppFixture f;
        f.frame().show();
        f.frame().OpenBatch(DayInputs(f.env / "in"));
        CBatchWindow& window = *f.frame().batchWindow();
        window.m_onFileRead = [&f](int row) {
            if (row == 0) f.frame().close();
        };
        RunBatch(window, QString::fromStdString(f.env / "pf"), false);
        QTRY_VERIFY(!f.frame().isVisible());
        QVERIFY(f.view().toPlainText().contains(QStringLiteral("stopped before 4 files")));
        QVERIFY(!fs::exists(fs::path(f.env / "pf") / "MASTER"));
    }

    // A symbol and a name typed in a row are the security's; a name left as
    // the symbol follows the symbol.
    void aSymbolAndNameTypedInARowAreTheSecuritys() {
        test::CAppFixture f;
        const std::vector<std::string> inputs = DayInputs(f.env / "in");
        f.frame().OpenBatch({inputs[0], inputs[1]});
        CBatchWindow& window = *f.frame().batchWindow();
        window.m_table->item(0, CBatchWindow::kSymbol)->setText(QStringLiteral("ACME"));
        QCOMPARE(window.m_table->item(0, CBatchWindow::kName)->text(), QStringLiteral("ACME"));
        window.m_table->item(1, CBatchWindow::kName)->setText(QStringLiteral("Wheat futures"));
        RunBatch(window, QString::fromStdString(f.env / "pf"), false);
        const std::string list = Cli({"list", f.env / "pf"});
        QVERIFY2(list.find("ACME ") != std::string::npos && list.find("Wheat futures") != std::string::npos,
                 list.c_str());
    }
};

QObject* NewBatchWindowTest() { return new BatchWindowTest; }

#include "batch_window_test.moc"
