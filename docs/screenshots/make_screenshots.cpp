// Draws the program's windows into PNG files for the documentation:
//   tarvel_screenshots OUTPUT_DIR EXAMPLES_DIR PORTFOLIO_DIR
// or photographs the whole screen with Conversion Settings open on an
// example, to show how it fits the screen:
//   tarvel_screenshots --dialog-screen OUTPUT_FILE EXAMPLES_DIR PORTFOLIO_DIR
// Run it under a real X server (scripts/screenshots.sh uses xvfb-run). The
// directories appear in the pictures, so the script passes neutral ones; the
// settings file is $TARVEL_SETTINGS, which the script points at a scratch file.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "convert/detect.h"
#include "shell/about_dlg.h"
#include "shell/batch_window.h"
#include "shell/choose_dir.h"
#include "shell/main_frame.h"
#include "shell/portfolio_window.h"
#include "shell/qt_prompt.h"
#include "shell/settings_dialog.h"
#include "shell/tarvel_app.h"

using namespace tarvel;

namespace {

void Save(QWidget& widget, const QString& file) {
    widget.show();
    widget.raise();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    QTest::qWait(200);
    if (!widget.grab().save(file)) qFatal("cannot write %s", qPrintable(file));
}

// The screen with the dialog as it opens on `file`, centred.
int DialogScreen(CTarvelApp& app, CPrompt& prompt, const QString& file, const QString& out) {
    int dateFormat = 1;
    CSettingsDlg dialog(prompt, app.platform(), &dateFormat, app.mainFrame());
    const std::string path = QFile::encodeName(file).toStdString();
    dialog.FromSettings(
        PresetFromLayout(CConversionSettings(), DetectFileLayout(app.platform(), path), path, false));
    dialog.SetPathIn(file);
    dialog.show();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    QTest::qWait(500);
    QScreen* screen = dialog.screen();
    return screen->grabWindow(0).save(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--dialog-screen") {
        auto platform = MakeSystemPlatform();
        CQtPrompt prompt;
        CTarvelApp app(*platform, prompt);
        app.InitInstance({});
        app.mainFrame()->showMaximized();
        return DialogScreen(app, prompt, QFile::decodeName(argv[3]) + QStringLiteral("/acme-daily.csv"),
                            QFile::decodeName(argv[2]));
    }
    if (argc != 4) qFatal("usage: tarvel_screenshots OUTPUT_DIR EXAMPLES_DIR PORTFOLIO_DIR");
    if (qEnvironmentVariableIsEmpty("TARVEL_SETTINGS")) qFatal("set TARVEL_SETTINGS to a scratch file");
    // Absolute: the conversion changes the current directory.
    const QString out = QDir(QFile::decodeName(argv[1])).absolutePath();
    const QString examples = QDir(QFile::decodeName(argv[2])).absolutePath();
    QDir portfolio(QDir(QFile::decodeName(argv[3])).absolutePath());
    portfolio.removeRecursively();
    portfolio.mkpath(QStringLiteral("."));

    auto platform = MakeSystemPlatform();
    CQtPrompt prompt;
    CTarvelApp app(*platform, prompt);
    app.InitInstance({});
    CMainFrame& frame = *app.mainFrame();
    frame.resize(760, 460);
    Save(frame, out + QStringLiteral("/main-window.png"));

    CAboutDlg about(&app.m_bVisitedMail, &app.m_bVisitedWeb, &frame);
    Save(about, out + QStringLiteral("/about-box.png"));
    about.close();

    int dateFormat = 1;
    CSettingsDlg defaults(prompt, *platform, &dateFormat, &frame);
    defaults.FromSettings(CConversionSettings());
    Save(defaults, out + QStringLiteral("/settings-dialog.png"));
    defaults.close();

    CChooseDir chooser(prompt, *platform, examples, &frame);
    Save(chooser, out + QStringLiteral("/choose-directory.png"));
    chooser.close();

    // A conversion of an example, accepted with Enter.
    CSettingsStore& store = *app.m_pSettings;
    store.WriteString("Convert", "PathOut",
                      QFile::encodeName(QDir::toNativeSeparators(portfolio.path())).toStdString());
    store.WriteString("Convert", "Symbol", "ACME");
    store.WriteString("Convert", "Name", "Acme Corp");
    store.WriteInt("Setting", "Exist", 1);
    store.WriteInt("Setting", "SkipOn", 1);
    store.WriteInt("Setting", "SkipRows", 1);
    store.WriteInt("Setting", "OIOn", 0);
    store.WriteString("Setting", "DateFormat", "CCYYMMDD");
    frame.view().m_runSettingsDialog = [&](CSettingsDlg& dialog) {
        if (dialog.m_bRetry) return static_cast<int>(QDialog::Rejected);
        dialog.show();
        dialog.m_symbol->setText(QStringLiteral("ACME"));
        Save(dialog, out + QStringLiteral("/settings-dialog-example.png"));
        QTest::keyClick(&dialog, Qt::Key_Return);
        return dialog.result();
    };
    app.OpenDocumentFile(examples + QStringLiteral("/acme-daily.csv"));
    Save(frame, out + QStringLiteral("/main-after-conversion.png"));
    bool converted =
        frame.view().toPlainText().contains(QStringLiteral("Conversion completed successfully!"));

    // The next day: the same file with three newer rows, added with the
    // dialog's offer; then the log as the day leaves it.
    QFile daily(examples + QStringLiteral("/acme-daily.csv"));
    QFile newer(examples + QStringLiteral("/acme-daily-new.csv"));
    if (!daily.open(QIODevice::ReadOnly) || !newer.open(QIODevice::WriteOnly)) return 1;
    newer.write(daily.readAll() +
                "20240326,51.29,51.80,50.90,51.60,18200\n20240327,51.60,52.10,51.20,51.95,21000\n"
                "20240328,51.95,52.40,51.50,52.20,19800\n");
    newer.close();
    frame.view().m_runSettingsDialog = [&](CSettingsDlg& dialog) {
        if (dialog.m_bRetry) return static_cast<int>(QDialog::Rejected);
        dialog.show();
        dialog.m_symbol->setText(QStringLiteral("ACME"));
        emit dialog.m_outputCheck->linkActivated(QStringLiteral("newer"));
        Save(dialog, out + QStringLiteral("/settings-dialog-update.png"));
        QTest::keyClick(&dialog, Qt::Key_Return);
        return dialog.result();
    };
    app.OpenDocumentFile(newer.fileName());
    QFile::remove(newer.fileName());
    converted = converted && frame.view().toPlainText().contains(QStringLiteral("3 newer rows added"));
    frame.resize(900, 560);
    Save(frame, out + QStringLiteral("/log-after-update.png"));

    // The portfolio window on what was just converted, as candles.
    frame.OnPortfolio();
    CPortfolioWindow* window = frame.portfolioWindow();
    if (window == nullptr) return 1;
    window->resize(1000, 620);
    window->SelectSymbol(QStringLiteral("ACME"));
    window->ChartStyle()->setCurrentIndex(2);
    window->show();
    QTest::qWait(200);
    // The crosshair two thirds along the chart.
    QTest::mouseMove(window->Chart(),
                     QPoint(window->Chart()->width() * 2 / 3, window->Chart()->height() / 2));
    Save(*window, out + QStringLiteral("/portfolio-window.png"));
    window->close();

    // The day's files as one batch: the examples' folder into the same
    // portfolio, newer rows added.
    frame.OpenBatch({QFile::encodeName(examples).toStdString()});
    CBatchWindow* batch = frame.batchWindow();
    if (batch == nullptr) return 1;
    batch->m_update->setChecked(true);
    batch->m_table->item(0, CBatchWindow::kSymbol)->setText(QStringLiteral("ACME"));
    batch->resize(1000, 330);
    batch->m_convert->click();
    while (batch->Running()) QTest::qWait(50);
    Save(*batch, out + QStringLiteral("/batch-window.png"));
    batch->close();

    // A file whose layout the rows do not decide: two series, no name says
    // which is the close. The dialog says so over the defaults.
    QFile rates(examples + QStringLiteral("/rates.csv"));
    if (!rates.open(QIODevice::WriteOnly)) return 1;
    rates.write(
        "observation_date,DGS10,DGS2\n2024-01-02,3.95,4.33\n2024-01-03,3.91,4.33\n"
        "2024-01-04,3.99,4.38\n2024-01-05,4.05,4.40\n");
    rates.close();
    frame.view().m_runSettingsDialog = [&](CSettingsDlg& dialog) {
        Save(dialog, out + QStringLiteral("/settings-dialog-refused.png"));
        return static_cast<int>(QDialog::Rejected);
    };
    app.OpenDocumentFile(rates.fileName());
    QFile::remove(rates.fileName());
    return converted ? 0 : 1;
}
