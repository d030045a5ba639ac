#include <QDir>
#include <QMimeData>
#include <QTextDocumentFragment>
#include <filesystem>

#include "res/resource_ids.h"
#include "shell/portfolio_window.h"
#include "shell/settings_dialog.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/portfolio_check.h"

using namespace tarvel;

namespace {

const QString kHeader = QStringLiteral(
    "To help you with the conversion settings, your file...\n\n\t%1\n\nlooks like this...\n\n");

// Counts the dialogs the convert command shows and answers them; one shown
// again after a failed conversion is cancelled, its note kept.
struct CDialogScript {
    int shown = 0;
    int result = QDialog::Rejected;
    QString retryNote;
    std::function<void(CSettingsDlg&)> act;
    void Install(CTarvelView& view) {
        view.m_runSettingsDialog = [this](CSettingsDlg& dialog) {
            ++shown;
            if (dialog.m_bRetry) {
                retryNote = dialog.m_detectionNote->text();
                return int(QDialog::Rejected);
            }
            dialog.show();
            if (act) act(dialog);
            return result == QDialog::Accepted ? dialog.result() : int(QDialog::Rejected);
        };
    }
};

// A started application whose convert command's dialogs the script answers.
struct CDocumentFixture : test::CAppFixture {
    CDocumentFixture() { script.Install(view()); }
    CDialogScript script;
};

}  // namespace

class DocumentTest : public QObject {
    Q_OBJECT

    QString Write(test::CSettingsEnv& env, const std::string& name, const std::string& contents) {
        test::WriteFile(env / name, contents);
        return QString::fromStdString(env / name);
    }

private slots:
    void init() { m_cwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_cwd); }

    void previewsAtMostTenPiecesThenOpensTheDialog_data() {
        QTest::addColumn<QString>("contents");
        QTest::addColumn<QString>("shown");
        QString twentyFive, ten;
        for (int i = 1; i <= 25; ++i) twentyFive += QStringLiteral("line %1\n").arg(i);
        for (int i = 1; i <= 10; ++i) ten += QStringLiteral("line %1\n").arg(i);
        QString long700 = QString(700, QLatin1Char('x'));
        QTest::newRow("three lines, CR LF and LF") << "a,1\r\nb,2\nc,3\n"
                                                   << "a,1\nb,2\nc,3\n";
        QTest::newRow("twenty-five lines") << twentyFive << ten;
        // Only the start of a long line: the log is for a look.
        QTest::newRow("a line of 700") << long700 + "\nnext\n" << QString(300, 'x') + "\nnext\n";
        QTest::newRow("no line end at the end") << "a\nlast"
                                                << "a\nlast\n";
    }
    void previewsAtMostTenPiecesThenOpensTheDialog() {
        QFETCH(QString, contents);
        QFETCH(QString, shown);
        CDocumentFixture f;
        QString path = Write(f.env, "input.txt", contents.toStdString());
        QVERIFY(f.app.OpenDocumentFile(path));
        QCOMPARE(f.view().toPlainText(), kHeader.arg(QDir::toNativeSeparators(path)) + shown);
        QCOMPARE(f.script.shown, 1);
        QCOMPARE(f.view().m_strPathIn, QFile::encodeName(path));
        QVERIFY(f.frame().action(res::ID_FILE_SETTINGS)->isEnabled());
        // Cancel saved nothing, yet the file is a recent one.
        QCOMPARE(f.app.m_pSettings->GetString("Setting", "DateFormat", "none"), std::string("none"));
        QCOMPARE(f.app.RecentFiles(), QStringList{path});
        QVERIFY(f.prompt.shown.empty());
    }

    void aFileThatDoesNotOpenChangesNothing() {
        CDocumentFixture f;
        f.view().AppendToLog(QStringLiteral("before"));
        QString missing = QString::fromStdString(f.env / "missing.txt");
        QVERIFY(!f.app.OpenDocumentFile(missing));
        QCOMPARE(f.view().toPlainText(), QStringLiteral("before"));
        QCOMPARE(f.view().m_strPathIn, QByteArray());
        QCOMPARE(f.script.shown, 0);
        QCOMPARE(test::Texts(f.prompt), std::vector<std::string>{"Cannot open " + missing.toStdString() +
                                                                 ": " + test::MissingFileText()});
        QVERIFY(f.app.RecentFiles().isEmpty());
    }

    void anEmptyOrBinaryFileIsRefusedWhenOpened() {
        for (const auto& [contents, reason] :
             {std::pair<std::string, std::string>{"", "the file is empty"},
              {std::string("Date,Close\n\0\1", 13), "the file is not text"}}) {
            CDocumentFixture f;
            QString path = Write(f.env, "input.txt", contents);
            QVERIFY(!f.app.OpenDocumentFile(path));
            QCOMPARE(f.script.shown, 0);
            QCOMPARE(f.view().m_strPathIn, QByteArray());
            QCOMPARE(test::Texts(f.prompt),
                     std::vector<std::string>{path.toStdString() + " cannot be converted: " + reason + "."});
        }
    }

    void aFileThatCannotBeReopenedShowsTheHeaderAndAMessage() {
        CDocumentFixture f;
        QString path = Write(f.env, "input.txt", "a\n");
        // The preview's open: after the document's open and close, and detection's
        // open, read to the end and close.
        f.platform.FailAt(f.platform.operations() + 6);
        QVERIFY(f.app.OpenDocumentFile(path));
        QCOMPARE(f.view().toPlainText(), kHeader.arg(QDir::toNativeSeparators(path)));
        QCOMPARE(test::Texts(f.prompt),
                 std::vector<std::string>{"Cannot open the input file " + path.toStdString() +
                                          ": Input/output error"});
        QCOMPARE(f.script.shown, 0);
    }

    void okSavesEverySettingEvenWhenTheConversionFails() {
        CDocumentFixture f;
        f.script.result = QDialog::Accepted;
        f.script.act = [&](CSettingsDlg& d) {
            d.m_path->setText(QString::fromStdString(f.env / "nowhere"));
            d.m_symbol->setText(QStringLiteral("ibm"));
            d.m_tab->setChecked(true);
            d.OnOK();
        };
        QString path = Write(f.env, "input.txt", "010500,1,2,3,4,5,6\n");
        QVERIFY(f.app.OpenDocumentFile(path));
        QVERIFY2(f.view().toPlainText().endsWith(
                     QStringLiteral(
                         "\nConversion failed.\nIBM into %1: Path does not exist: %1\nChange the settings "
                         "with File > Settings... (Ctrl+T) and convert again.")
                         .arg(QString::fromStdString(f.env / "nowhere"))),
                 qPrintable(f.view().toPlainText()));
        QCOMPARE(f.beeps, 0);
        CSettingsStore& store = *f.app.m_pSettings;
        QCOMPARE(store.GetString("Setting", "DateFormat", ""), std::string("MMDDYY"));
        QCOMPARE(store.GetInt("Setting", "Delimiter", -1), 1);
        for (const char* key : {"Exist", "SkipOn", "SkipRows", "DateCol", "OpenOn", "OpenCol", "HiOn",
                                "HiCol", "LoOn", "LoCol", "CloCol", "VolOn", "VolCol", "OIOn", "OICol"}) {
            QVERIFY2(store.GetInt("Setting", key, -99) != -99, key);
        }
        // The job failed its first check: "Convert" stays as it was.
        QCOMPARE(store.GetString("Convert", "Symbol", "none"), std::string("none"));
        QCOMPARE(test::Texts(f.prompt),
                 std::vector<std::string>{"Path does not exist: " + f.env / "nowhere"});
    }

    // A name that is not UTF-8 reaches the engine byte for byte: previewed,
    // converted, and kept as the last input file as the system spells it.
    void aFileNameThatIsNotUtf8IsOpenedAndConverted() {
#ifdef _WIN32
        QSKIP("Windows names files in UTF-16: no file name there is bytes that are not UTF-8");
#endif
        CDocumentFixture f;
        std::string portfolio = f.env / "portfolio";
        std::filesystem::create_directory(portfolio);
        CSettingsStore& store = *f.app.m_pSettings;
        store.WriteString("Convert", "PathOut", portfolio);
        store.WriteString("Convert", "Symbol", "CAFE");
        store.WriteInt("Setting", "Exist", 1);
        f.script.result = QDialog::Accepted;
        f.script.act = [](CSettingsDlg& d) { QTest::keyClick(&d, Qt::Key_Return); };
        const std::string name = f.env / "caf\xE9.csv";  // "café" in Latin-1
        test::WriteFile(name, "010500,1,2,0.5,1.5,100,7\n010600,2,3,1.5,2.5,200,8\n");
        QVERIFY(f.app.OpenDocumentFile(QByteArray::fromStdString(name)));
        QCOMPARE(f.view().m_strPathIn, QByteArray::fromStdString(name));
        QVERIFY2(f.view().toPlainText().endsWith(
                     QStringLiteral(": 2 rows added, 2000-01-05 to 2000-01-06.\nPortfolio: ") +
                     QDir::toNativeSeparators(QString::fromStdString(portfolio))),
                 qPrintable(f.view().toPlainText()));
        QVERIFY(f.prompt.shown.empty());
        QCOMPARE(test::CheckPortfolio(portfolio), std::string());
        QCOMPARE(test::ReadFile(portfolio + "/F1.DAT").size(), size_t(3 * 28));
        QCOMPARE(store.GetString("Convert", "PathIn", ""), name);
        // The log links to the portfolio: a click opens the portfolio window on it.
        f.frame().show();
        QTextCursor link = f.view().document()->find(QStringLiteral("Portfolio: "));
        QVERIFY2(!link.isNull(), qPrintable(f.view().toPlainText()));
        link.setPosition(link.selectionEnd() + 2);
        const QPoint at = f.view().cursorRect(link).center();
        QCOMPARE(f.view().PortfolioLinkAt(at), QString::fromStdString(portfolio));
        QTest::mouseClick(f.view().viewport(), Qt::LeftButton, {}, at);
        QVERIFY(f.frame().portfolioWindow() != nullptr);
        QCOMPARE(f.frame().portfolioWindow()->Directory(), QString::fromStdString(portfolio));
        QCOMPARE(f.frame().portfolioWindow()->SecurityRows()->rowCount(), 1);
    }

    // A day's upkeep: each conversion leaves its entry below the earlier
    // ones, and Save Log writes them all.
    void eachConversionLeavesAnEntryThatSaveLogKeeps() {
        CDocumentFixture f;
        const std::string portfolio = f.env / "portfolio";
        std::filesystem::create_directory(portfolio);
        CSettingsStore& store = *f.app.m_pSettings;
        store.WriteString("Convert", "PathOut", portfolio);
        store.WriteInt("Setting", "Exist", 1);
        bool update = false;
        // On the second day the dialog says ACME is there and offers its newer rows.
        struct {
            QString check, summary, firstDate, fields, otherSummary;
            bool okBefore = true, okAfter = false, offered = false, okWithoutVolume = true, okFocused = false;
            int rows = 0;
        } seen;
        f.script.result = QDialog::Accepted;
        f.script.act = [&](CSettingsDlg& d) {
            d.m_symbol->setText(QStringLiteral("ACME"));
            if (update && seen.check.isEmpty()) {
                seen.check = QTextDocumentFragment::fromHtml(d.m_outputCheck->text()).toPlainText();
                seen.okBefore = d.m_ok->isEnabled();
                seen.offered = d.m_outputCheck->text().contains(QLatin1String("<a href"));
                emit d.m_outputCheck->linkActivated(QStringLiteral("newer"));
                seen.okAfter = d.m_ok->isEnabled();
                seen.okFocused = d.focusWidget() == d.m_ok;  // Enter means OK, not Cancel
                seen.summary = d.m_previewSummary->text();
                seen.rows = d.m_preview->rowCount();
                seen.firstDate = d.m_preview->item(0, 0) ? d.m_preview->item(0, 0)->text() : QString();
                // Rows go only where the fields are the same; another symbol previews every row.
                d.m_checkVolume->setChecked(false);
                seen.fields = QTextDocumentFragment::fromHtml(d.m_outputCheck->text()).toPlainText();
                seen.okWithoutVolume = d.m_ok->isEnabled();
                d.m_checkVolume->setChecked(true);
                d.m_symbol->setText(QStringLiteral("OTHER"));
                seen.otherSummary = d.m_previewSummary->text();
                d.m_symbol->setText(QStringLiteral("ACME"));
            }
            d.m_checkUpdate->setChecked(update);
            d.OnOK();
        };
        const QString dir = QDir::toNativeSeparators(QString::fromStdString(portfolio));
        const std::string rows = "010500,1,2,0.5,1.5,100,7\n010600,2,3,1.5,2.5,200,8\n";
        const struct {
            bool update;
            std::string contents;
            QString entry;
        } days[] = {
            {false, "010500,1,2,0.5,1.5,100,7\n01x600,1,2,3,4,5,6\n010600,2,3,1.5,2.5,200,8\n",
             "Conversion completed successfully!\nACME: 2 rows added, 2000-01-05 to 2000-01-06.\n1 row "
             "skipped; "
             "the first, line 2: the date in column 1 cannot be read.\nPortfolio: " +
                 dir},
            {true, rows + "010700,3,4,2.5,3.5,300,9\n",
             "Conversion completed successfully!\nACME: 1 newer row added, 2000-01-07. 2 rows already there "
             "left "
             "out.\nPortfolio: " +
                 dir},
            {true, rows,
             "Conversion completed successfully!\nACME: no newer rows; the file's 2 rows are in the "
             "portfolio already.\nPortfolio: " +
                 dir},
            {false, rows,
             "Conversion failed.\nACME into " + dir + ": Duplicate Symbol Failure\nChange the settings"},
        };
        qsizetype from = 0;
        for (const auto& day : days) {
            update = day.update;
            QVERIFY(f.app.OpenDocumentFile(Write(f.env, "acme.csv", day.contents)));
            const qsizetype at = f.view().toPlainText().indexOf(day.entry, from);
            QVERIFY2(at > 0, qPrintable(f.view().toPlainText()));
            from = at + day.entry.size();
        }
        QCOMPARE(f.beeps, 3);
        QCOMPARE(seen.check,
                 QStringLiteral("ACME is in this portfolio already (2 rows to 2000-01-06). Add the newer "
                                "rows to it, or give another symbol."));
        QVERIFY(!seen.okBefore && seen.offered && seen.okAfter && seen.okFocused);
        QCOMPARE(seen.summary, QStringLiteral("1 newer row would be added (dated after 2000-01-06)."));
        QCOMPARE(seen.rows, 1);
        QCOMPARE(seen.firstDate, QStringLiteral("2000-01-07"));
        QCOMPARE(seen.fields,
                 QStringLiteral("ACME is in this portfolio already (2 rows to 2000-01-06) with the fields "
                                "Date, Open, High, Low, Close, Volume, Open Int: tick those above to add "
                                "rows to it."));
        QVERIFY(!seen.okWithoutVolume);
        QCOMPARE(seen.otherSummary, QStringLiteral("3 rows shown, 0 would be skipped"));
        // The failed one came back with its values and why.
        QCOMPARE(f.script.shown, 5);
        QVERIFY2(f.script.retryNote.startsWith("The conversion failed: Duplicate Symbol Failure"),
                 qPrintable(f.script.retryNote));
        const std::string saved = f.env / "log.txt";
        QVERIFY(f.frame().SaveLog(QString::fromStdString(saved)));
        QCOMPARE(QString::fromStdString(test::ReadFile(saved)), f.view().toPlainText() + QLatin1Char('\n'));
        QVERIFY(!f.frame().SaveLog(QString::fromStdString(f.env / "missing/log.txt")));
        QVERIFY(QString::fromStdString(f.prompt.shown.back().text).startsWith("Cannot save the log to "));
    }

    void openingTheSameFileAgainConvertsAgain() {
        CDocumentFixture f;
        QString path = Write(f.env, "input.txt", "a\n");
        f.app.OpenDocumentFile(path);
        f.app.OpenDocumentFile(path);
        QCOMPARE(f.script.shown, 2);
        f.frame().action(res::ID_FILE_SETTINGS)->trigger();
        QCOMPARE(f.script.shown, 3);
    }

    void saveNeverTouchesTheOpenedFile() {
        CDocumentFixture f;
        QString path = Write(f.env, "input.txt", "010500,1\n");
        f.app.OpenDocumentFile(path);
        auto before = std::filesystem::last_write_time(path.toStdString());
        f.frame().action(res::ID_FILE_SAVE)->trigger();
        QTest::keyClick(&f.frame(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(test::ReadFile(path.toStdString()), std::string("010500,1\n"));
        QVERIFY(std::filesystem::last_write_time(path.toStdString()) == before);
    }

    void aDroppedFileOrOneOnTheCommandLineIsOpened() {
        QString path;
        {
            CDocumentFixture f;
            path = Write(f.env, "dropped.txt", "d\n");
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QVERIFY(f.frame().acceptDrops());
            QVERIFY(f.frame().OnDropFiles(&data));
            QTRY_COMPARE(f.script.shown, 1);
            QCOMPARE(f.view().m_strPathIn, QFile::encodeName(path));
        }
        test::CSettingsEnv env;
        QString named = QString::fromStdString(env / "named.txt");
        test::WriteFile(env / "named.txt", "n\n");
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        CTarvelApp app(platform, prompt);
        app.InitInstance({QFile::encodeName(named)});
        CDialogScript script;
        script.Install(app.mainFrame()->view());
        QTRY_COMPARE(script.shown, 1);
        QVERIFY(app.mainFrame()->isVisible());
        QCOMPARE(app.mainFrame()->view().toPlainText(),
                 kHeader.arg(QDir::toNativeSeparators(named)) + QStringLiteral("n\n"));
    }

private:
    QString m_cwd;
};

QObject* NewDocumentTest() { return new DocumentTest; }

#include "document_test.moc"
