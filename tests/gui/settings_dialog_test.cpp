#include "shell/settings_dialog.h"

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
    static CConversionSettings Defaults() {
        CConversionSettings s;
        s.strPathOut = "/tmp";
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
        QCOMPARE(d.m_checkUpdate->text(), QStringLiteral("Add newer rows to an existing security"));
        QCOMPARE(d.m_checkUpdate->isChecked(), decimalComma != 0);
        // Choosing another one is what OK keeps.
        QRadioButton* other = radios[(delimiter + 1) % 5];
        QTest::mouseClick(other, Qt::LeftButton);
        QTest::mouseClick(d.m_checkDecimalComma, Qt::LeftButton);
        QTest::mouseClick(d.m_checkUpdate, Qt::LeftButton);
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
        QTest::mouseClick(g.dialog.m_checkSkip, Qt::LeftButton);
        QVERIFY(g.dialog.m_skipRows->isEnabled());
        g.Type(g.dialog.m_skipRows, QStringLiteral("7"));
        QTest::mouseClick(g.dialog.m_checkSkip, Qt::LeftButton);
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
        QCOMPARE(dialog.started, QStringLiteral("/tmp"));
        QCOMPARE(dialog.m_path->text(), QStringLiteral("/chosen"));
        QCOMPARE(test::Texts(prompt), std::vector<std::string>{"Please enter an integer between 1 and 20."});
    }
};

QObject* NewSettingsDialogTest() { return new SettingsDialogTest; }

#include "settings_dialog_test.moc"
