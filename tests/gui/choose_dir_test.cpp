#include "shell/choose_dir.h"

#include <QPushButton>
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
        // The field shows the system's separators; the levels are paths
        // with '/', from the root ("/", or a drive: "C:/").
        const QString start = QString::fromStdString(dir / "start/inner");
        const QString path = QDir::fromNativeSeparators(start);
        const QString root = path.section(QLatin1Char('/'), 0, 0) + QLatin1Char('/');
        CChooseDir chooser(prompt, platform, start);
        QCOMPARE(chooser.m_editDir->text(), start);
        int levels = chooser.levelCount();
        QCOMPARE(chooser.m_list->count(), levels + 2);
        QCOMPARE(chooser.DirectoryText(0), root);
        QCOMPARE(chooser.DirectoryText(1), root + path.section(QLatin1Char('/'), 1, 1));
        QCOMPARE(chooser.DirectoryText(levels - 1), path);
        QCOMPARE(chooser.DirectoryText(levels), path + QStringLiteral("/A"));
        QCOMPARE(chooser.DirectoryText(levels + 1), path + QStringLiteral("/b"));
        // The starting folder stays highlighted.
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QTRY_COMPARE(chooser.m_bFirstPaint, 0);
        QCOMPARE(chooser.m_list->currentRow(), levels - 1);
        QCOMPARE(chooser.m_editDir->text(), start);
        // Selecting shows the entry's path; Enter opens it and accepts nothing.
        chooser.m_list->setFocus();
        QTest::keyClick(chooser.m_list, Qt::Key_Down);
        QTest::keyClick(chooser.m_list, Qt::Key_Down);
        QCOMPARE(chooser.m_editDir->text(), QDir::toNativeSeparators(path + QStringLiteral("/b")));
        QTest::keyClick(chooser.m_list, Qt::Key_Return);
        QVERIFY(chooser.isVisible());
        QCOMPARE(chooser.listedDirectory(), path + QStringLiteral("/b"));
        QCOMPARE(chooser.m_list->count(), levels + 1);
    }

    // Portfolios are marked; Home and the portfolios used lately are places.
    void marksPortfoliosAndOffersHomeAndRecentOnes() {
        test::CTempDir dir;
        std::filesystem::create_directories(dir / "data/stocks");
        std::filesystem::create_directories(dir / "data/notes");
        test::WriteFile(dir / "data/stocks/MASTER", "");
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        const QString data = QDir::fromNativeSeparators(QString::fromStdString(dir / "data"));
        CChooseDir chooser(prompt, platform, data);
        const int levels = chooser.levelCount();
        QCOMPARE(chooser.DirectoryText(levels + 1), data + QStringLiteral("/stocks"));
        QVERIFY(chooser.HoldsPortfolio(levels + 1));
        QVERIFY(!chooser.HoldsPortfolio(levels));
        QVERIFY(!chooser.HoldsPortfolio(levels - 1));
        chooser.AddPlaces({data + QStringLiteral("/stocks")});
        const int place = chooser.m_drives->findData(data + QStringLiteral("/stocks"));
        QVERIFY(place > 0);
        QVERIFY(chooser.m_drives->findData(QDir::homePath()) > 0);
        chooser.show();
        chooser.m_drives->setFocus();
        chooser.m_drives->setCurrentIndex(place);
        QTest::keyClick(chooser.m_drives, Qt::Key_Return);
        QVERIFY(chooser.isVisible());
        QCOMPARE(chooser.listedDirectory(), data + QStringLiteral("/stocks"));
        for (QPushButton* button : chooser.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("&Home")) button->click();
        }
        QCOMPARE(chooser.listedDirectory(), QDir::cleanPath(QDir::homePath()));
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
        auto madeText = [](const std::string& folder) {
            return QString::fromStdString(MakeSystemPlatform()->MakeDirectory(folder).Text());
        };
        messages.replace(QStringLiteral("%no-parent"), madeText(dir / "p/q"))
            .replace(QStringLiteral("%no-name"), madeText(""));
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
        const QString expected = QDir::toNativeSeparators(
            base + QStringLiteral("/") + (typed == QStringLiteral("fresh") ? "fresh" : "data"));
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        if (answer) prompt.AnswerNext(answer);
        CChooseDir chooser(prompt, platform, base);
        chooser.m_editDir->setText(typed);
        QVERIFY(chooser.OnFileNameOK());
        QCOMPARE(chooser.m_strDir, expected);
        QStringList shown;
        for (const std::string& text : test::Texts(prompt)) shown << QString::fromStdString(text);
        for (QString& message : messages.replaceInStrings(QStringLiteral("@"), base))
            message = QDir::toNativeSeparators(message);
        QCOMPARE(shown, messages);
        QVERIFY(QFileInfo(expected).isDir());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(elsewhere / "fresh")));
        QVERIFY(!QFileInfo::exists(expected + QStringLiteral("/data")));
    }

private:
    QString m_cwd;
};

QObject* NewChooseDirTest() { return new ChooseDirTest; }

#include "choose_dir_test.moc"
