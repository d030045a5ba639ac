#include <QAction>
#include <QClipboard>
#include <QStatusBar>

#include "res/resource_ids.h"
#include "tests/gui/gui_test_support.h"

using namespace tarvel;

class AppTest : public QObject {
    Q_OBJECT

private slots:
    // The legacy INI is read on the first start only, when the settings key
    // is created; a key that exists, even empty, keeps its own values.
    void importsTheLegacyIniOnlyWhenTheKeyIsNew_data() {
        QTest::addColumn<QString>("firstIni");  // empty: no legacy INI at the first start
        QTest::addColumn<int>("dateColAfterFirst");
        QTest::addColumn<int>("dateColAfterSecond");  // the second start finds DateCol=9
        QTest::newRow("imported at the first start, not again") << "[Setting]\nDateCol=3\n" << 3 << 3;
        QTest::newRow("a key created without any value") << "" << 1 << 1;
    }
    void importsTheLegacyIniOnlyWhenTheKeyIsNew() {
        QFETCH(QString, firstIni);
        QFETCH(int, dateColAfterFirst);
        QFETCH(int, dateColAfterSecond);
        test::CSettingsEnv env;
        if (!firstIni.isEmpty()) test::WriteFile(env.legacy("Tarvel.INI"), firstIni.toStdString());
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        {
            CTarvelApp app(platform, prompt);
            QVERIFY(app.InitInstance({}));
            QCOMPARE(app.m_pSettings->GetInt("Setting", "DateCol", 1), dateColAfterFirst);
            app.ExitInstance(0);
        }
        QVERIFY(test::FileExists(env.file()));
        test::WriteFile(env.legacy("Tarvel.INI"), "[Setting]\nDateCol=9\nSkipRows=4\n");
        CTarvelApp again(platform, prompt);
        QVERIFY(again.InitInstance({}));
        QCOMPARE(again.m_pSettings->GetInt("Setting", "DateCol", 1), dateColAfterSecond);
        QCOMPARE(again.m_pSettings->GetInt("Setting", "SkipRows", 0), 0);
    }

    void startsWithAnEmptyLogAndSettingsDisabled() {
        test::CAppFixture f;
        QCOMPARE(f.view().toPlainText(), QString());
        QVERIFY(f.view().isReadOnly());
        QVERIFY(!f.frame().action(res::ID_FILE_SETTINGS)->isEnabled());
        QVERIFY(f.frame().action(res::ID_VIEW_CLEARWINDOW)->isEnabled());
    }

    void placement_data() { test::AddTableRows("placements.tsv"); }
    void placement() {
        QFETCH(QString, saved);
        QFETCH(QString, workArea);
        QFETCH(QString, expected);
        auto numbers = [](const QString& text) {
            QList<int> list;
            for (const QString& n : text.split(QLatin1Char(' '))) list << n.toInt();
            return list;
        };
        const QList<int> s = numbers(saved), w = numbers(workArea), e = numbers(expected);
        QCOMPARE(ComputePlacement(s[0], s[1], s[2], s[3], QSize(w[0], w[1])), QRect(e[0], e[1], e[2], e[3]));
    }

    void opensAtTheSavedPlacementAndSavesItOnClose() {
        test::CSettingsEnv env;
        CSettingsStore store;
        store.WriteInt("Screen", "x", 40);
        store.WriteInt("Screen", "y", 30);
        store.WriteInt("Screen", "cx", 500);
        store.WriteInt("Screen", "cy", 400);
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        CTarvelApp app(platform, prompt);
        app.InitInstance({});
        CMainFrame& frame = *app.mainFrame();
        QCOMPARE(frame.frameGeometry(), QRect(40, 30, 500, 400));
        frame.move(-20, 70);
        frame.resize(640, 410);
        QRect outer = frame.frameGeometry();
        QVERIFY(outer.left() < 0);
        QVERIFY(frame.close());
        QCOMPARE(store.GetInt("Screen", "x", -9), 0);
        QCOMPARE(store.GetInt("Screen", "y", -9), outer.top());
        QCOMPARE(store.GetInt("Screen", "cx", -9), outer.width());
        QCOMPARE(store.GetInt("Screen", "cy", -9), outer.height());
    }

    void aMinimisedWindowSavesNothing() {
        test::CAppFixture f;
        f.frame().showMinimized();
        if (!f.frame().isMinimized()) QSKIP("the platform cannot minimise");
        f.frame().OnClose();
        QCOMPARE(f.app.m_pSettings->GetInt("Screen", "cx", -9), -9);
    }

    void logAppendsWithoutModifyingAndClearKeepsThePath() {
        test::CAppFixture f;
        for (int i = 0; i < 1000; ++i) f.view().AppendToLog(QStringLiteral("line %1\r\n").arg(i));
        QVERIFY(!f.view().document()->isModified());
        QVERIFY(f.view().toPlainText().endsWith(QStringLiteral("line 999\n")));
        QCOMPARE(f.view().toPlainText().count(QLatin1Char('\n')), 1000);
        f.view().SetPathIn("/some/file.txt");
        QVERIFY(f.frame().action(res::ID_FILE_SETTINGS)->isEnabled());
        f.frame().action(res::ID_VIEW_CLEARWINDOW)->trigger();
        QCOMPARE(f.view().toPlainText(), QString());
        QCOMPARE(f.view().m_strPathIn, QByteArray("/some/file.txt"));
        QVERIFY(f.frame().action(res::ID_FILE_SETTINGS)->isEnabled());
        // Ctrl+N empties the log too and keeps the path.
        f.view().AppendToLog(QStringLiteral("x"));
        f.frame().action(res::ID_FILE_NEW)->trigger();
        QCOMPARE(f.view().toPlainText(), QString());
        QCOMPARE(f.view().m_strPathIn, QByteArray("/some/file.txt"));
    }

    void typingIntoTheLogChangesNothing() {
        test::CAppFixture f;
        f.view().AppendToLog(QStringLiteral("keep"));
        f.view().setFocus();
        QTest::keyClicks(&f.view(), QStringLiteral("abc"));
        QTest::keyClick(&f.view(), Qt::Key_Backspace);
        f.frame().action(res::ID_EDIT_PASTE)->trigger();
        f.frame().action(res::ID_EDIT_CUT)->trigger();
        QCOMPARE(f.view().toPlainText(), QStringLiteral("keep"));
        f.view().selectAll();
        f.frame().action(res::ID_EDIT_COPY)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("keep"));
    }

    void keepsFourRecentFilesAcrossRuns() {
        test::CAppFixture f;
        for (int i = 1; i <= 5; ++i) f.app.AddToRecentFileList(QStringLiteral("/data/file%1.txt").arg(i));
        QCOMPARE(f.app.RecentFiles(),
                 (QStringList{"/data/file5.txt", "/data/file4.txt", "/data/file3.txt", "/data/file2.txt"}));
        f.app.AddToRecentFileList(QStringLiteral("/data/file3.txt"));
        QCOMPARE(f.app.RecentFiles().first(), QStringLiteral("/data/file3.txt"));
        test::CRecordingPrompt prompt;
        CTarvelApp second(f.platform, prompt);
        second.InitInstance({});
        QCOMPARE(second.RecentFiles(), f.app.RecentFiles());
    }

    void helpKeysReachTheHelpPage() {
        test::CAppFixture f;
        QList<QUrl> opened;
        f.frame().m_openUrl = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        f.frame().action(res::ID_HELP)->trigger();
        f.frame().action(res::ID_HELP_FINDER)->trigger();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0].isLocalFile());
        QVERIFY(opened[0].toLocalFile().endsWith(QStringLiteral("help/index.html")));
        QVERIFY(QFileInfo::exists(opened[0].toLocalFile()));
        // Shift+F1: help mode until the next pick, which opens help; Escape only ends it.
        f.frame().action(res::ID_CONTEXT_HELP)->trigger();
        QVERIFY(f.frame().InHelpMode());
        QCOMPARE(f.frame().statusBar()->currentMessage(),
                 QStringLiteral("Select an object on which to get Help"));
        QTest::mouseClick(&f.view(), Qt::LeftButton);
        QVERIFY(!f.frame().InHelpMode());
        QCOMPARE(opened.size(), 3);
        f.frame().action(res::ID_CONTEXT_HELP)->trigger();
        QTest::keyClick(&f.view(), Qt::Key_Escape);
        QVERIFY(!f.frame().InHelpMode());
        QCOMPARE(opened.size(), 3);
        QCOMPARE(f.frame().statusBar()->currentMessage(), QStringLiteral("For Help, press F1"));
        // No browser: the page opens in a window of the program.
        f.frame().m_openUrl = [](const QUrl&) { return false; };
        f.frame().action(res::ID_HELP)->trigger();
        QVERIFY(f.frame().helpWindow() != nullptr && f.frame().helpWindow()->isVisible());
        QCOMPARE(f.frame().helpWindow()->source(), opened[0]);
        QVERIFY(!f.frame().helpWindow()->toPlainText().isEmpty());
    }
};

QObject* NewAppTest() { return new AppTest; }

#include "app_test.moc"
