// Draws the program's windows into PNG files for the documentation:
//   tarvel_screenshots OUTPUT_DIR EXAMPLES_DIR PORTFOLIO_DIR
// Run it under a real X server (scripts/screenshots.sh uses xvfb-run). The
// directories appear in the pictures, so the script passes neutral ones; the
// settings file is $TARVEL_SETTINGS, which the script points at a scratch file.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "shell/about_dlg.h"
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

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
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
    store.WriteString("Convert", "PathOut", QFile::encodeName(portfolio.path()).toStdString());
    store.WriteString("Convert", "Symbol", "ACME");
    store.WriteString("Convert", "Name", "Acme Corp");
    store.WriteInt("Setting", "Exist", 1);
    store.WriteInt("Setting", "SkipOn", 1);
    store.WriteInt("Setting", "SkipRows", 1);
    store.WriteInt("Setting", "OIOn", 0);
    store.WriteString("Setting", "DateFormat", "CCYYMMDD");
    frame.view().m_runSettingsDialog = [&](CSettingsDlg& dialog) {
        Save(dialog, out + QStringLiteral("/settings-dialog-example.png"));
        QTest::keyClick(&dialog, Qt::Key_Return);
        return dialog.result();
    };
    app.OpenDocumentFile(examples + QStringLiteral("/acme-daily.csv"));
    Save(frame, out + QStringLiteral("/main-after-conversion.png"));
    const bool converted =
        frame.view().toPlainText().endsWith(QStringLiteral("Conversion completed successfully!"));

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
