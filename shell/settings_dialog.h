// "Conversion Settings": where the user says how the input is laid out and
// where the new security goes. Shows the twenty values it is given, checks
// them member by member when taking them, and on OK hands the chosen date
// format number to the log view. Given the input file, it shows the first
// rows as a conversion with the settings on screen would store them.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableWidget>
#include <string>

#include "platform/platform.h"
#include "platform/prompt.h"
#include "settings/conversion_settings.h"
#include "shell/spin_button.h"

namespace tarvel {

class CChooseDir;

// An unsigned decimal integer, blanks around it and a plus sign allowed.
bool ParseUnsigned(const QString& text, long long* value);
// "YYYY-MM-DD" of a YYYYMMDD day.
QString DayQText(int day);

class CSettingsDlg : public QDialog {
public:
    // `dateFormat` is the view's date format number, set by OK.
    CSettingsDlg(CPrompt& prompt, CPlatform& platform, int* dateFormat, QWidget* parent = nullptr);

    void FromSettings(const CConversionSettings& settings);
    // The input file whose first rows the preview shows; reads its head
    // through the platform now. Without one (or with "") there is no preview.
    void SetPathIn(const QString& path);
    CConversionSettings ToSettings() const;
    // What detection could not tell of the file, shown above the settings
    // (hidden when empty): the values below are then not the file's.
    void SetDetectionNote(const QString& text);

    // Puts every member into its control.
    void ShowValues();
    // Reads every control into its member in the dialog's order; at the first
    // that fails shows its message, focuses its control and returns false.
    bool TakeValues();
    void OnOK();
    void OnBrowse();
    void OnCheckBox(QCheckBox* box);
    // Fills the preview from the controls as they stand; shows nothing
    // without an input file.
    void UpdatePreview();

    // Says under the output settings what the folder and the symbol come to
    // (no folder, no MASTER, the symbol held already with its rows and last
    // date, ...) and enables OK only when the conversion can run.
    void CheckOutput();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Runs the directory chooser modally; tests replace it.
    virtual bool RunChooser(CChooseDir& chooser);

    int m_bHiOn = 0;
    int m_bLoOn = 0;
    int m_bOIOn = 0;
    int m_bOpenOn = 0;
    int m_bVolOn = 0;
    long long m_nDateCol = 0;
    long long m_nOpenCol = 0;
    long long m_nHiCol = 0;
    long long m_nLoCol = 0;
    long long m_nCloCol = 0;
    long long m_nVolCol = 0;
    long long m_nOICol = 0;
    int m_nExist = -1;
    QString m_strName;
    QString m_strPathOut;
    QString m_strSymbol;
    long long m_nSkipRows = 0;
    int m_bSkipOn = 0;
    int m_nDelimiter = -1;
    int m_bDecimalComma = 0;
    int m_bUpdate = 0;
    QString m_strDateFormat;
    // Shown again after the conversion failed.
    bool m_bRetry = false;
    // Portfolio folders converted into lately, offered by Browse...
    QStringList m_recentPortfolios;

    // Controls, by the ids of dialog 130 (objectName is the id).
    QCheckBox* m_checkOpen;
    QCheckBox* m_checkHigh;
    QCheckBox* m_checkLow;
    QCheckBox* m_checkVolume;
    QCheckBox* m_checkOpenInt;
    QCheckBox* m_checkSkip;
    QLineEdit* m_column[kFieldCount];
    CSpinButton* m_spin[kFieldCount];
    QLineEdit* m_skipRows;
    CSpinButton* m_skipSpin;
    QRadioButton* m_existing;
    QRadioButton* m_new;
    QRadioButton* m_comma;
    QRadioButton* m_tab;
    QRadioButton* m_space;
    QRadioButton* m_semicolon;
    QRadioButton* m_pipe;
    QCheckBox* m_checkDecimalComma;
    QCheckBox* m_checkUpdate;
    QComboBox* m_dateFormat;
    QLineEdit* m_path;
    QLineEdit* m_symbol;
    QLineEdit* m_name;
    QPushButton* m_browse;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QGroupBox* m_previewGroup;
    QTableWidget* m_preview;
    QLabel* m_previewSummary;
    QLabel* m_detectionNote;
    // Its link "Add the newer rows", shown when the symbol is held, checks
    // "Add newer rows".
    QLabel* m_outputCheck;
    QScrollArea* m_scroll;
    // The last day of the security of the symbol in the folder, when the
    // folder's portfolio holds it; 0 otherwise.
    int m_nHeldLastDay = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool Refuse(QWidget* control, const std::string& message);
    // Runs CheckOutput whenever what it checks changes.
    void ConnectOutputChecks();
    // The check box of an optional field; nullptr for Date and Close.
    QCheckBox* CheckBox(int field) const;
    void UpdateEnabling();
    // The reading settings on screen, without messages; false when a column
    // or the rows to skip do not read.
    bool ReadingSettings(CConversionSettings* settings, int* dateFormat) const;
    // With "Add newer rows" and the symbol held: the rows of the whole input
    // dated after the held ones, as they would be stored.
    void PreviewNewerRows(const CConversionSettings& settings, int dateFormat);

    CPrompt& m_prompt;
    CPlatform& m_platform;
    int* m_pDateFormat;
    QButtonGroup m_masterGroup;
    QButtonGroup m_delimiterGroup;
    bool m_bOpened = false;
    bool m_bShowing = false;  // ShowValues is filling the controls
    bool m_bHasHead = false;
    std::string m_strPathIn;
    std::string m_strHead;  // the input's first bytes, as text
    std::string m_strHeadError;
};

}  // namespace tarvel
