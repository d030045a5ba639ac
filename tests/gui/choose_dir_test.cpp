#include "shell/choose_dir.h"

#include <filesystem>

#include "tests/gui/gui_test_support.h"

using namespace tarvel;

class ChooseDirTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_cwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_cwd); }

    void listsTheLevelsThenTheSubDirectories() {
        test::CTempDir dir;
        std::filesystem::create_directories(dir / "start/inner/b");
        std::filesystem::create_directories(dir / "start/inner/A");
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        QString start = QString::fromStdString(dir / "start/inner");
        CChooseDir chooser(prompt, platform, start);
        QCOMPARE(chooser.m_editDir->text(), start);
        int levels = chooser.levelCount();
        QCOMPARE(chooser.m_list->count(), levels + 2);
        QCOMPARE(chooser.DirectoryText(0), QStringLiteral("/"));
        QCOMPARE(chooser.DirectoryText(1), QStringLiteral("/") + start.section(QLatin1Char('/'), 1, 1));
        QCOMPARE(chooser.DirectoryText(levels - 1), start);
        QCOMPARE(chooser.DirectoryText(levels), start + QStringLiteral("/A"));
        QCOMPARE(chooser.DirectoryText(levels + 1), start + QStringLiteral("/b"));
        // The first paint moves the highlight to the root; the field keeps the start.
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QTRY_COMPARE(chooser.m_bFirstPaint, 0);
        QCOMPARE(chooser.m_list->currentRow(), 0);
        QCOMPARE(chooser.m_editDir->text(), start);
        // Selecting shows the entry's path; double-clicking enters it.
        chooser.m_list->setCurrentRow(levels + 1);
        QCOMPARE(chooser.m_editDir->text(), start + QStringLiteral("/b"));
        chooser.SetListedDirectory(chooser.DirectoryText(levels + 1));
        QCOMPARE(chooser.listedDirectory(), start + QStringLiteral("/b"));
        QCOMPARE(chooser.m_list->count(), levels + 1);
    }

    void okChecksCreatesOrRefuses_data() { test::AddTableRows("choose_dir_ok.tsv"); }
    void okChecksCreatesOrRefuses() {
        QFETCH(QString, typed);
        QFETCH(QString, answer);
        QFETCH(QString, accepted);
        QFETCH(QString, messages);
        QFETCH(QString, created);
        test::CTempDir dir;
        QString base = QString::fromStdString(dir.path());
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        if (answer.toInt()) prompt.AnswerNext(answer.toInt());
        const QString cwd = QDir::currentPath();
        CChooseDir chooser(prompt, platform, base);
        chooser.m_editDir->setText(typed.replace(QLatin1Char('@'), base));
        QCOMPARE(chooser.OnFileNameOK(), accepted == QStringLiteral("1"));
        QStringList shown;
        for (const std::string& text : test::Texts(prompt)) shown << QString::fromStdString(text);
        QCOMPARE(
            shown,
            messages.split(QLatin1Char('|'), Qt::SkipEmptyParts).replaceInStrings(QStringLiteral("@"), base));
        QCOMPARE(chooser.m_strDir, typed);
        QCOMPARE(QFileInfo::exists(base + QStringLiteral("/new")), created == QStringLiteral("1"));
        QVERIFY(!QFileInfo::exists(base + QStringLiteral("/x")));
        QCOMPARE(QDir::currentPath(), cwd);
    }

    // A relative name means a directory below the listed one, not below the
    // process's current directory, and comes back absolute so that nothing
    // applies it a second time.
    void aRelativeNameIsResolvedOnceAgainstTheListedDirectory_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("messages");  // "@" stands for the listed directory
        QTest::newRow("existing") << "data" << 0 << QStringList{};
        QTest::newRow("existing, dotted") << "./data/../data/" << 0 << QStringList{};
        QTest::newRow("new, Yes") << "fresh" << int(kIdYes)
                                  << QStringList{"Directory @/fresh does not exist.\nCreate this directory?"};
    }
    void aRelativeNameIsResolvedOnceAgainstTheListedDirectory() {
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(QStringList, messages);
        test::CTempDir listed, elsewhere;
        std::filesystem::create_directories(listed / "data");
        std::filesystem::create_directories(elsewhere / "data");  // a wrong resolution would find this one
        QDir::setCurrent(QString::fromStdString(elsewhere.path()));
        QString base = QString::fromStdString(listed.path());
        QString expected = base + QStringLiteral("/") + (typed == QStringLiteral("fresh") ? "fresh" : "data");
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        if (answer) prompt.AnswerNext(answer);
        CChooseDir chooser(prompt, platform, base);
        chooser.m_editDir->setText(typed);
        QVERIFY(chooser.OnFileNameOK());
        QCOMPARE(chooser.m_strDir, expected);
        QStringList shown;
        for (const std::string& text : test::Texts(prompt)) shown << QString::fromStdString(text);
        QCOMPARE(shown, messages.replaceInStrings(QStringLiteral("@"), base));
        QVERIFY(QFileInfo(expected).isDir());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(elsewhere / "fresh")));
        QVERIFY(!QFileInfo::exists(expected + QStringLiteral("/data")));
    }

private:
    QString m_cwd;
};

QObject* NewChooseDirTest() { return new ChooseDirTest; }

#include "choose_dir_test.moc"
