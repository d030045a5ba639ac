#include "shell/settings_dialog.h"

#include <QLayout>
#include <QTextDocumentFragment>

#include "res/resource_ids.h"
#include "shell/choose_dir.h"
#include "tests/gui/gui_test_support.h"

using namespace tarvel;

namespace {

// An open dialog over recording doubles, preset with `settings`.
struct CDialogFixture {
    explicit CDialogFixture(const CConversionSettings& settings = Defaults())
        : dialog(prompt, platform, &dateFormat) {
        dialog.FromSettings(settings);
        dialog.show();
    }
    // A new portfolio in an empty folder.
    static CConversionSettings Defaults() {
        static const QTemporaryDir folder;
        CConversionSettings s;
        s.strPathOut = folder.path().toStdString();
        s.nExist = 1;
        s.strSymbol = "ibm";
        return s;
    }
    void Type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    std::vector<std::string> messages() const { return test::Texts(prompt); }

    test::CFaultyPlatform platform;
    test::CRecordingPrompt prompt;
    int dateFormat = 1;
    CSettingsDlg dialog;
};

}  // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The two check boxes ride along: "Decimal comma" and "Add newer rows to
    // an existing security".
    void keepsEveryDelimiterAndTheCheckBoxes_data() {
        QTest::addColumn<int>("delimiter");
        QTest::addColumn<int>("decimalComma");
        QTest::newRow("comma") << 0 << 0;
        QTest::newRow("tab") << 1 << 0;
        QTest::newRow("space") << 2 << 1;
        QTest::newRow("semicolon, decimal comma") << 3 << 1;
        QTest::newRow("pipe") << 4 << 0;
    }
    void keepsEveryDelimiterAndTheCheckBoxes() {
        QFETCH(int, delimiter);
        QFETCH(int, decimalComma);
        CConversionSettings s = CDialogFixture::Defaults();
        s.nDelimiter = delimiter;
        s.bDecimalComma = decimalComma;
        s.bUpdate = decimalComma;
        CDialogFixture f(s);
        CSettingsDlg& d = f.dialog;
        QRadioButton* radios[] = {d.m_comma, d.m_tab, d.m_space, d.m_semicolon, d.m_pipe};
        for (int i = 0; i < 5; ++i) QCOMPARE(radios[i]->isChecked(), i == delimiter);
        QCOMPARE(d.m_checkDecimalComma->isChecked(), decimalComma != 0);
        QCOMPARE(d.m_checkUpdate->text(), QStringLiteral("Add newer rows to an existin&g security"));
        QCOMPARE(d.m_checkUpdate->isChecked(), decimalComma != 0);
        // Choosing another one is what OK keeps.
        QRadioButton* other = radios[(delimiter + 1) % 5];
        other->click();
        d.m_checkDecimalComma->click();
        d.m_checkUpdate->click();
        d.OnOK();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.ToSettings().nDelimiter, (delimiter + 1) % 5);
        QCOMPARE(d.ToSettings().bDecimalComma, decimalComma != 0 ? 0 : 1);
        QCOMPARE(d.ToSettings().bUpdate, decimalComma != 0 ? 0 : 1);
    }

    void enterAcceptsThePresetValues() {
        CDialogFixture f;
        QTest::keyClick(&f.dialog, Qt::Key_Return);
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.dateFormat, 9);
        QCOMPARE(f.dialog.m_strSymbol, QStringLiteral("IBM"));
        QVERIFY(f.messages().empty());
        // Without an input file there is nothing to preview.
        QVERIFY(!f.dialog.m_previewGroup->isVisible());
    }

    void clearingOpenSetsOneSoOkReportsDuplicatesUntilChanged() {
        CDialogFixture f;
        CSettingsDlg& d = f.dialog;
        QTest::mouseClick(d.m_checkOpen, Qt::LeftButton);
        QCOMPARE(d.m_column[kOpen]->text(), QStringLiteral("1"));
        QVERIFY(!d.m_column[kOpen]->isEnabled());
        QTest::mouseClick(d.m_checkOpen, Qt::LeftButton);
        QVERIFY(d.m_column[kOpen]->isEnabled());
        QCOMPARE(d.m_column[kOpen]->text(), QStringLiteral("1"));
        d.OnOK();
        QCOMPARE(f.messages(), std::vector<std::string>{"Duplicate columns specified\nCorrect or disable"});
        f.Type(d.m_column[kOpen], QStringLiteral("2"));
        d.OnOK();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        // Clearing "Skip Rows" puts 0 in its field.
        CDialogFixture g;
        g.dialog.m_checkSkip->click();
        QVERIFY(g.dialog.m_skipRows->isEnabled());
        g.Type(g.dialog.m_skipRows, QStringLiteral("7"));
        g.dialog.m_checkSkip->click();
        QCOMPARE(g.dialog.m_skipRows->text(), QStringLiteral("0"));
        QVERIFY(!g.dialog.m_skipSpin->isEnabled());
    }

    // The ranges themselves are ConversionSettings' checks; here the text as
    // typed, and the focus on the field refused.
    void refusesValuesOutsideTheirRangesWithFocus_data() { test::AddTableRows("dialog_refusals.tsv"); }
    void refusesValuesOutsideTheirRangesWithFocus() {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, message);
        CDialogFixture f;
        auto* edit = f.dialog.findChild<QLineEdit*>(control);
        QVERIFY(edit);
        edit->setEnabled(true);
        edit->setText(text);
        f.dialog.OnOK();
        if (message.isEmpty()) {
            QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
            return;
        }
        QCOMPARE(f.messages(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(f.dialog.focusWidget(), edit);
        QCOMPARE(edit->selectedText(), text);
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    }

    // What the dialog says of the folder and the symbol as they are typed,
    // and whether OK can be pressed. Folders: "missing", "plain" (no MASTER)
    // or "portfolio" (one with a MASTER); %1 in `says` is the folder.
    void checksTheFolderAndTheSymbolAsTheyAreTyped_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("master");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("says");
        QTest::newRow("no folder") << "" << 1 << "IBM"
                                   << "Enter the folder of the portfolio, or choose it with Browse...";
        QTest::newRow("no such folder")
            << "missing" << 1 << "IBM"
            << "%1 is no folder that exists: choose one with Browse..., or type the path of one.";
        QTest::newRow("existing MASTER, none there")
            << "plain" << 0 << "IBM"
            << "%1 holds no MASTER: choose Make New Master to start a portfolio there, or another folder.";
        QTest::newRow("new MASTER, one there")
            << "portfolio" << 1 << "IBM"
            << "%1 holds a portfolio already: choose Use Existing Master to add to it, or another folder.";
        QTest::newRow("no symbol") << "plain" << 1 << ""
                                   << "Enter a symbol for the security.";
        QTest::newRow("ready") << "plain" << 1 << "IBM"
                               << "";
    }
    void checksTheFolderAndTheSymbolAsTheyAreTyped() {
        QFETCH(QString, folder);
        QFETCH(int, master);
        QFETCH(QString, symbol);
        QFETCH(QString, says);
        CDialogFixture f;
        QTemporaryDir base;
        QDir(base.path()).mkdir(QStringLiteral("plain"));
        QDir(base.path()).mkdir(QStringLiteral("portfolio"));
        test::WriteFile(base.path().toStdString() + "/portfolio/MASTER", "");
        const QString path = folder.isEmpty() ? QString() : base.path() + QLatin1Char('/') + folder;
        (master == 0 ? f.dialog.m_existing : f.dialog.m_new)->click();
        f.dialog.m_symbol->setText(symbol);
        f.dialog.m_path->setText(path);
        QCOMPARE(QTextDocumentFragment::fromHtml(f.dialog.m_outputCheck->text()).toPlainText(),
                 says.contains(QLatin1String("%1")) ? says.arg(path) : says);
        QCOMPARE(f.dialog.m_ok->isEnabled(), says.isEmpty());
    }

    void everyLabelledControlHasAMnemonicOfItsOwn() {
        CDialogFixture f;
        CSettingsDlg& d = f.dialog;
        QSet<QChar> keys;
        QStringList wrong;
        auto take = [&](const QString& text) {
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            if (at < 0 || at + 1 >= text.size()) return void(wrong << text + QStringLiteral(": none"));
            const QChar key = text[at + 1].toLower();
            if (keys.contains(key)) wrong << text + QStringLiteral(": taken");
            keys.insert(key);
        };
        for (QAbstractButton* button : d.findChildren<QAbstractButton*>()) {
            if (button != d.m_ok && button != d.m_cancel && !button->text().isEmpty()) take(button->text());
        }
        QSet<QWidget*> labelled;
        for (QLabel* label : d.findChildren<QLabel*>()) {
            if (label->buddy() == nullptr) continue;
            take(label->text());
            labelled.insert(label->buddy());
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('|'))));
        for (QWidget* edit : std::initializer_list<QWidget*>{d.m_column[kDate], d.m_column[kClose],
                                                             d.m_dateFormat, d.m_path, d.m_symbol, d.m_name})
            QVERIFY2(labelled.contains(edit), qPrintable(edit->objectName()));
    }

    // The offscreen screen is 800x600; 1366x768 at 150 % leaves 911x512.
    // Either way OK and Cancel are in the dialog and the rest scrolls.
    void fitsSmallAndMagnifiedScreens() {
        QTemporaryDir folder;
        const std::string input = folder.path().toStdString() + "/acme.csv";
        std::string rows;
        for (int day = 1; day <= 28; ++day)
            rows += QString::asprintf("02%02d00,1,2,0.5,1.5,100,7\n", day).toStdString();
        test::WriteFile(input, rows);
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        int dateFormat = 1;
        CSettingsDlg d(prompt, platform, &dateFormat);
        d.FromSettings(CDialogFixture::Defaults());
        d.SetPathIn(QString::fromStdString(input));
        d.show();
        const QRect screen = d.screen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(800, 600));
        QVERIFY(screen.contains(d.frameGeometry()));
        for (const QSize size : {QSize(800, 600), QSize(911, 512), QSize(640, 400)}) {
            d.resize(size);
            d.layout()->activate();
            QCOMPARE(d.size(), size);
            for (QPushButton* button : {d.m_ok, d.m_cancel}) {
                QVERIFY(button->isVisible());
                QVERIFY(d.rect().contains(QRect(button->mapTo(&d, QPoint()), button->size())));
            }
        }
        // Tab leaves the preview rather than walking its cells.
        d.m_preview->setFocus();
        QTest::keyClick(d.m_preview, Qt::Key_Tab);
        QVERIFY(d.focusWidget() != d.m_preview);
    }

    void browseTakesTheChosenDirectory() {
        class CChoosing : public CSettingsDlg {
        public:
            using CSettingsDlg::CSettingsDlg;
            bool RunChooser(CChooseDir& chooser) override {
                started = chooser.m_editDir->text();
                chooser.m_strDir = QStringLiteral("/chosen");
                return true;
            }
            QString started;
        };
        test::CFaultyPlatform platform;
        test::CRecordingPrompt prompt;
        int dateFormat = 1;
        CChoosing dialog(prompt, platform, &dateFormat);
        dialog.FromSettings(CDialogFixture::Defaults());
        dialog.show();
        dialog.m_column[kDate]->setText(QStringLiteral("99"));  // a failing value does not stop Browse
        dialog.OnBrowse();
        QCOMPARE(dialog.started,
                 QDir::toNativeSeparators(QString::fromStdString(CDialogFixture::Defaults().strPathOut)));
        QCOMPARE(dialog.m_path->text(), QStringLiteral("/chosen"));
        QCOMPARE(test::Texts(prompt), std::vector<std::string>{"Please enter an integer between 1 and 20."});
    }
};

QObject* NewSettingsDialogTest() { return new SettingsDialogTest; }

#include "settings_dialog_test.moc"
