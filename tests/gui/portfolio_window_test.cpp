#include "shell/portfolio_window.h"

#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "tests/cli/cli_runner.h"
#include "tests/gui/gui_test_support.h"

using namespace tarvel;

namespace {

// A portfolio of the three examples: ACME (6 fields, 60 records), BOND
// (4 fields, 30) and WHEAT (7 fields, 40).
struct CPortfolioFixture : test::CAppFixture {
    CPortfolioFixture() : window(app) {
        for (const char* file : {"acme-daily.csv", "bond-index.csv", "wheat-futures.txt"}) {
            const std::string symbol = std::string(file).substr(0, 4) == "whea"   ? "WHEAT"
                                       : std::string(file).substr(0, 4) == "bond" ? "BOND"
                                                                                  : "ACME";
            test::Outcome o = test::Cli(
                {"convert", std::string(TARVEL_EXAMPLES_DIR "/") + file, "--out", pf, "--symbol", symbol});
            if (o.status != 0) qFatal("%s", o.err.c_str());
        }
        window.OpenPortfolio(QString::fromStdString(pf));
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int r = 0; r < window.SecurityRows()->rowCount(); ++r)
            texts << window.SecurityRows()->index(r, column).data().toString();
        return texts;
    }
    std::string pf = env / "pf";
    CPortfolioWindow window;
};

}  // namespace

class PortfolioWindowTest : public QObject {
    Q_OBJECT

private slots:
    void listsSortsAndFiltersTheSecurities() {
        CPortfolioFixture f;
        QCOMPARE(f.Column(0), (QStringList{"ACME", "BOND", "WHEAT"}));
        QCOMPARE(f.Column(5), (QStringList{"60", "30", "40"}));
        QCOMPARE(f.Column(6), (QStringList{"F1.DAT", "F2.DAT", "F3.DAT"}));
        f.window.Securities()->sortByColumn(5, Qt::DescendingOrder);  // records, as numbers
        QCOMPARE(f.Column(0), (QStringList{"ACME", "WHEAT", "BOND"}));
        f.window.Filter()->setText("whe");
        QCOMPARE(f.Column(0), QStringList{"WHEAT"});
    }

    void chartsAndTabulatesTheChosenSecurity() {
        CPortfolioFixture f;
        QVERIFY(f.window.SelectSymbol("wheat"));
        QCOMPARE(f.window.Records()->model()->rowCount(), 40);
        // Newest first, every field the security has.
        QCOMPARE(f.window.Records()->model()->columnCount(), 7);
        QCOMPARE(f.window.Records()->model()->index(0, 0).data().toString(), QString("1998-12-25"));
        QCOMPARE(f.window.Chart()->Last() - f.window.Chart()->First(), 40.0);
        QVERIFY(f.window.ChartStyle()->isEnabled());
        // BOND has no opens: no bars or candles to choose.
        f.window.ChartStyle()->setCurrentIndex(2);
        QVERIFY(f.window.SelectSymbol("BOND"));
        QVERIFY(!f.window.ChartStyle()->isEnabled());
        QCOMPARE(f.window.Chart()->Style(), CPriceChart::EStyle::kLine);
    }

    // A price file at its largest, 65,534 records over 179 years: every
    // record is in view, the axis labels decades, the wheel zooms in to
    // days, and the crosshair reads the record under it.
    void drawsTheLargestSecurityFromCenturiesToDays() {
        test::CSettingsEnv env;
        std::string rows = "Date,Close\n";
        // Days from the calendar itself: the C library of some systems
        // makes no time of a date before 1970.
        const std::chrono::sys_days first = std::chrono::year{1901} / 1 / 1;
        for (int i = 0; i < 65534; ++i) {
            const std::chrono::year_month_day day{first + std::chrono::days{i}};
            char line[32];
            std::snprintf(line, sizeof line, "%04d-%02u-%02u", int(day.year()), unsigned(day.month()),
                          unsigned(day.day()));
            rows += std::string(line) + "," + std::to_string(100 + i % 50) + "\n";
        }
        const std::string pf = env / "pf";
        test::Outcome converted = test::Cli({"convert", env.Write("BIG.csv", rows), "--out", pf});
        QVERIFY2(converted.status == 0, converted.err.c_str());
        auto platform = MakeSystemPlatform();
        test::CRecordingPrompt prompt;
        CTarvelApp app(*platform, prompt);
        CPortfolioWindow window(app);
        QVERIFY(window.OpenPortfolio(QString::fromStdString(pf)));
        CPriceChart& chart = *window.Chart();
        QCOMPARE(chart.Last(), 65534.0);
        chart.resize(1200, 600);
        QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
        auto draw = [&] {
            QPainter painter(&image);
            chart.Render(painter, image.rect());
        };
        draw();
        QVERIFY(chart.AxisLabels().size() >= 5);
        for (const QString& label : chart.AxisLabels()) QVERIFY2(label.endsWith('0'), qPrintable(label));
        chart.Zoom(1e-6, 1.0);  // as far in as it goes: five days
        QCOMPARE(chart.Last(), 65534.0);
        QCOMPARE(chart.Last() - chart.First(), 5.0);
        draw();
        QVERIFY(!chart.AxisLabels().isEmpty());
        QVERIFY2(chart.AxisLabels().front().contains(' '),
                 qPrintable(chart.AxisLabels().front()));  // "3 May 2080"
        QVERIFY2(chart.TextAt(chart.width() - 80).startsWith("2080-06-"),
                 qPrintable(chart.TextAt(chart.width() - 80)));
        QVERIFY(chart.TextAt(-5).isEmpty());
        // The largest numbers a price file holds, and a flat line, draw too.
        for (float value : {1.7e38f, -1.7e38f, 0.0f}) {
            chart.SetBars({{20240102, NAN, NAN, NAN, value, NAN}, {20240103, NAN, NAN, NAN, value, NAN}});
            draw();
            QVERIFY(chart.TextAt(chart.width() / 2).startsWith("2024-01-0"));
        }
        chart.SetBars({{20240102, NAN, NAN, NAN, 1.7e38f, NAN}, {20240103, NAN, NAN, NAN, -1.7e38f, NAN}});
        draw();
    }

    void renamesRemovesChecksExportsAndUndoes() {
        CPortfolioFixture f;
        QVERIFY(f.window.SelectSymbol("BOND"));
        f.window.m_editSymbol = [](QString* symbol, QString* name) {
            *symbol = "BND";
            *name = "Bond index";
            return true;
        };
        f.window.OnRename();
        QCOMPARE(f.Column(0), (QStringList{"ACME", "BND", "WHEAT"}));
        QCOMPARE(f.window.SelectedSymbol(), QString("BND"));
        QCOMPARE(f.window.UndoAction()->text(), QString("&Undo Renaming of BOND"));

        QVERIFY(f.window.SelectSymbol("ACME"));
        f.prompt.AnswerNext(kIdYes);
        f.window.OnRemove();
        QCOMPARE(f.Column(0), (QStringList{"BND", "WHEAT"}));
        QCOMPARE(f.prompt.shown.back().text,
                 "Remove ACME (ACME) from " + f.pf +
                     "? Its price records go with it; Edit > Undo brings them back.");
        QCOMPARE(f.window.UndoAction()->text(), QString("&Undo Removal of ACME"));
        f.window.UndoAction()->trigger();
        QCOMPARE(f.Column(0), (QStringList{"ACME", "BND", "WHEAT"}));
        QVERIFY(!f.window.UndoAction()->isEnabled());

        f.window.OnCheck();
        QCOMPARE(f.prompt.shown.back().text,
                 f.pf + ": 3 securities checked; 0 problems, 1 warning.\n" + test::Join(f.pf, "MASTER") +
                     ": warning: BND has 4 fields; some readers refuse securities of fewer than five");

        QVERIFY(f.window.SelectSymbol("WHEAT"));
        const std::string csv = f.env / "wheat.csv";
        f.window.m_saveFileName = [&](const QString&) { return QString::fromStdString(csv); };
        f.window.OnExport();
        const std::string text = test::ReadFile(csv);
        QCOMPARE(text.substr(0, text.find('\n')), std::string("DATE,OPEN,HIGH,LOW,CLOSE,VOL,OI"));
        QCOMPARE(text, test::Cli({"export", f.pf, "WHEAT"}).out);
    }
};

QObject* NewPortfolioWindowTest() { return new PortfolioWindowTest; }

#include "portfolio_window_test.moc"
