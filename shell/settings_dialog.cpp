#include "shell/settings_dialog.h"

#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "convert/date_text.h"
#include "convert/row_preview.h"
#include "res/resource_ids.h"
#include "shell/choose_dir.h"

namespace tarvel {
namespace {

template <typename T>
T* Control(T* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace

bool ParseUnsigned(const QString& text, long long* value) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('+'))) digits.remove(0, 1);
    if (digits.isEmpty() || digits.size() > 10) return false;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    }
    long long number = digits.toLongLong();
    if (number > 4294967295LL) return false;
    *value = number;
    return true;
}

namespace {

// Each field's flag (none for Date and Close) and column member.
struct FieldMembers {
    int CSettingsDlg::*on;
    long long CSettingsDlg::*column;
};
constexpr FieldMembers kFieldMembers[kFieldCount] = {{nullptr, &CSettingsDlg::m_nDateCol},
                                                     {&CSettingsDlg::m_bOpenOn, &CSettingsDlg::m_nOpenCol},
                                                     {&CSettingsDlg::m_bHiOn, &CSettingsDlg::m_nHiCol},
                                                     {&CSettingsDlg::m_bLoOn, &CSettingsDlg::m_nLoCol},
                                                     {nullptr, &CSettingsDlg::m_nCloCol},
                                                     {&CSettingsDlg::m_bVolOn, &CSettingsDlg::m_nVolCol},
                                                     {&CSettingsDlg::m_bOIOn, &CSettingsDlg::m_nOICol}};
// The check boxes in the order the dialog takes them.
constexpr int kCheckBoxOrder[] = {kHigh, kLow, kOpenInt, kOpen, kVolume};

void CheckRadio(QButtonGroup& group, int index) {
    group.setExclusive(false);
    for (QAbstractButton* b : group.buttons()) b->setChecked(group.id(b) == index);
    group.setExclusive(true);
}

}  // namespace

CSettingsDlg::CSettingsDlg(CPrompt& prompt, CPlatform& platform, int* dateFormat, QWidget* parent)
    : QDialog(parent), m_prompt(prompt), m_platform(platform), m_pDateFormat(dateFormat) {
    using namespace res;
    setWindowTitle(QStringLiteral("Conversion Settings"));
    setObjectName(QString::number(IDD_SETTINGS));

    m_ok = Control(new QPushButton(QStringLiteral("OK"), this), 1);
    m_cancel = Control(new QPushButton(QStringLiteral("Cancel"), this), 2);
    m_ok->setDefault(true);

    // Fields and columns.
    auto* fields = new QGroupBox(QStringLiteral("Input File: Supported Fields and Column Assignments"), this);
    auto* fieldGrid = new QGridLayout(fields);
    m_checkOpen = Control(new QCheckBox(QStringLiteral("&Open"), fields), IDC_OPEN_ON);
    m_checkHigh = Control(new QCheckBox(QStringLiteral("&High"), fields), IDC_HIGH_ON);
    m_checkLow = Control(new QCheckBox(QStringLiteral("&Low"), fields), IDC_LOW_ON);
    m_checkVolume = Control(new QCheckBox(QStringLiteral("&Volume"), fields), IDC_VOL_ON);
    m_checkOpenInt = Control(new QCheckBox(QStringLiteral("Open &Int"), fields), IDC_OI_ON);
    auto* dateLabel = new QLabel(QStringLiteral("&Date"), fields);
    auto* closeLabel = new QLabel(QStringLiteral("&Close"), fields);
    QWidget* captions[kFieldCount] = {dateLabel,  m_checkOpen,   m_checkHigh,   m_checkLow,
                                      closeLabel, m_checkVolume, m_checkOpenInt};
    const int columnIds[kFieldCount] = {IDC_DATE_COL,  IDC_OPEN_COL, IDC_HIGH_COL, IDC_LOW_COL,
                                        IDC_CLOSE_COL, IDC_VOL_COL,  IDC_OI_COL};
    const int spinIds[kFieldCount] = {IDC_DATE_SPIN,  IDC_OPEN_SPIN, IDC_HIGH_SPIN, IDC_LOW_SPIN,
                                      IDC_CLOSE_SPIN, IDC_VOL_SPIN,  IDC_OI_SPIN};
    for (int f = 0; f < kFieldCount; ++f) {
        m_column[f] = Control(new QLineEdit(fields), columnIds[f]);
        m_column[f]->setMaximumWidth(48);
        m_spin[f] = Control(new CSpinButton(m_column[f], fields), spinIds[f]);
        auto* cell = new QHBoxLayout;
        cell->setSpacing(1);
        cell->addWidget(m_column[f]);
        cell->addWidget(m_spin[f]);
        fieldGrid->addWidget(captions[f], 0, f);
        fieldGrid->addLayout(cell, 1, f);
    }
    dateLabel->setBuddy(m_column[kDate]);
    closeLabel->setBuddy(m_column[kClose]);

    // Delimiter, date format, skip rows.
    auto* detail = new QGroupBox(QStringLiteral("Input File: Detail Settings"), this);
    auto* detailGrid = new QGridLayout(detail);
    detailGrid->addWidget(new QLabel(QStringLiteral("Which Column Delimiter Character?"), detail), 0, 0, 1,
                          3);
    m_comma = Control(new QRadioButton(QStringLiteral("Co&mma"), detail), IDC_COMMA);
    m_tab = Control(new QRadioButton(QStringLiteral("&Tab"), detail), IDC_TAB);
    m_space = Control(new QRadioButton(QStringLiteral("&Space"), detail), IDC_SPACE);
    m_semicolon = Control(new QRadioButton(QStringLiteral("S&emicolon"), detail), IDC_SEMICOLON);
    m_pipe = Control(new QRadioButton(QStringLiteral("&Pipe"), detail), IDC_PIPE);
    // Values as stored in "Delimiter"; three to a row.
    for (auto [button, index] : {std::pair{m_comma, 0}, std::pair{m_tab, 1}, std::pair{m_space, 2},
                                 std::pair{m_semicolon, 3}, std::pair{m_pipe, 4}}) {
        m_delimiterGroup.addButton(button, index);
        detailGrid->addWidget(button, 1 + index / 3, index % 3);
    }
    auto* formatLabel = new QLabel(QStringLiteral("Date &Format"), detail);
    detailGrid->addWidget(formatLabel, 0, 3);
    m_dateFormat = Control(new QComboBox(detail), IDC_DATE_FORMAT);
    formatLabel->setBuddy(m_dateFormat);
    m_dateFormat->setEditable(true);
    m_dateFormat->setInsertPolicy(QComboBox::NoInsert);
    m_dateFormat->setCompleter(nullptr);
    for (const char* name : kDateFormatNames) m_dateFormat->addItem(QString::fromLatin1(name));
    detailGrid->addWidget(m_dateFormat, 1, 3);
    m_checkDecimalComma = Control(new QCheckBox(QStringLiteral("Decim&al comma"), detail), IDC_DECIMAL_COMMA);
    detailGrid->addWidget(m_checkDecimalComma, 2, 3);
    m_checkSkip = Control(new QCheckBox(QStringLiteral("S&kip Rows"), detail), IDC_SKIP_ON);
    detailGrid->addWidget(m_checkSkip, 0, 4);
    m_skipRows = Control(new QLineEdit(detail), IDC_SKIP_ROWS);
    m_skipRows->setMaximumWidth(48);
    m_skipSpin = Control(new CSpinButton(m_skipRows, detail), IDC_SKIP_SPIN);
    auto* skipCell = new QHBoxLayout;
    skipCell->setSpacing(1);
    skipCell->addWidget(m_skipRows);
    skipCell->addWidget(m_skipSpin);
    skipCell->addStretch();
    detailGrid->addLayout(skipCell, 1, 4);

    // Output directory.
    auto* output = new QGroupBox(QStringLiteral("Output File: Path to Output Files"), this);
    auto* outputGrid = new QGridLayout(output);
    auto* pathLabel = new QLabel(QStringLiteral("Di&rectory Path"), output);
    outputGrid->addWidget(pathLabel, 0, 0);
    m_path = Control(new QLineEdit(output), IDC_PATH);
    pathLabel->setBuddy(m_path);
    m_browse = Control(new QPushButton(QStringLiteral("&Browse..."), output), IDC_BROWSE);
    outputGrid->addWidget(m_path, 1, 0);
    outputGrid->addWidget(m_browse, 1, 1);

    // Master, symbol, name.
    auto* security = new QGroupBox(QStringLiteral("Output File: Detail Settings"), this);
    auto* securityGrid = new QGridLayout(security);
    securityGrid->addWidget(
        new QLabel(QStringLiteral("How to use a Master File in this Directory?"), security), 0, 0, 1, 2);
    m_existing =
        Control(new QRadioButton(QStringLiteral("&Use Existing Master"), security), IDC_EXISTING_MASTER);
    m_new = Control(new QRadioButton(QStringLiteral("Make Ne&w Master"), security), IDC_NEW_MASTER);
    m_masterGroup.addButton(m_existing, 0);
    m_masterGroup.addButton(m_new, 1);
    securityGrid->addWidget(m_existing, 1, 0);
    securityGrid->addWidget(m_new, 1, 1);
    auto* symbolLabel = new QLabel(QStringLiteral("S&ymbol"), security);
    auto* nameLabel = new QLabel(QStringLiteral("&Name"), security);
    securityGrid->addWidget(symbolLabel, 0, 2);
    securityGrid->addWidget(nameLabel, 0, 3);
    m_symbol = Control(new QLineEdit(security), IDC_SYMBOL);
    m_name = Control(new QLineEdit(security), IDC_NAME);
    symbolLabel->setBuddy(m_symbol);
    nameLabel->setBuddy(m_name);
    securityGrid->addWidget(m_symbol, 1, 2);
    securityGrid->addWidget(m_name, 1, 3);
    m_checkUpdate = Control(
        new QCheckBox(QStringLiteral("Add newer rows to an existin&g security"), security), IDC_UPDATE);
    securityGrid->addWidget(m_checkUpdate, 2, 0, 1, 4);
    // What the portfolio says of the folder and the symbol, while they are typed.
    m_outputCheck = new QLabel(security);
    m_outputCheck->setWordWrap(true);
    m_outputCheck->setObjectName(QStringLiteral("outputCheck"));
    m_outputCheck->setTextFormat(Qt::RichText);
    securityGrid->addWidget(m_outputCheck, 3, 0, 1, 4);

    // The first rows as they would be stored.
    m_previewGroup = new QGroupBox(QStringLiteral("Preview: First Rows as They Would Be Stored"), this);
    auto* previewLayout = new QVBoxLayout(m_previewGroup);
    m_preview = Control(new QTableWidget(m_previewGroup), IDC_PREVIEW);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setSelectionMode(QAbstractItemView::NoSelection);
    m_preview->setWordWrap(false);
    m_preview->setTabKeyNavigation(false);  // Tab goes on to the next control, not cell by cell
    m_preview->verticalHeader()->setDefaultSectionSize(m_preview->fontMetrics().height() + 4);
    m_preview->horizontalHeader()->setStretchLastSection(true);
    // Room for every row previewed and a reason beside them, no more.
    m_preview->setMinimumHeight(m_preview->verticalHeader()->defaultSectionSize() * (kPreviewRows + 1) +
                                2 * m_preview->frameWidth() + 4);
    m_preview->setMinimumWidth(m_preview->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 80);
    m_previewSummary = Control(new QLabel(m_previewGroup), IDC_PREVIEW_SUMMARY);
    previewLayout->addWidget(m_preview);
    previewLayout->addWidget(m_previewSummary);
    m_previewGroup->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    m_detectionNote = new QLabel(this);
    m_detectionNote->setWordWrap(true);
    m_detectionNote->setStyleSheet(QStringLiteral("QLabel { color: #a00; }"));
    m_detectionNote->hide();
    // Everything but OK and Cancel scrolls, so that the dialog fits a small
    // or magnified screen with its buttons in reach.
    auto* body = new QWidget;
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addWidget(m_detectionNote);
    for (QGroupBox* group : {fields, detail, output, security}) bodyLayout->addWidget(group);
    bodyLayout->addWidget(m_previewGroup, 1);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(body);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(buttons);
    setSizeGripEnabled(true);

    // OK comes first in the tab order, so Enter confirms the preset values.
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_column[kDate]);

    connect(m_ok, &QPushButton::clicked, this, &CSettingsDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, &CSettingsDlg::OnBrowse);
    for (QCheckBox* box :
         {m_checkOpen, m_checkHigh, m_checkLow, m_checkVolume, m_checkOpenInt, m_checkSkip}) {
        connect(box, &QCheckBox::clicked, this, [this, box] { OnCheckBox(box); });
    }

    // Any reading setting that changes shows the rows anew.
    for (QCheckBox* box : {m_checkOpen, m_checkHigh, m_checkLow, m_checkVolume, m_checkOpenInt, m_checkSkip,
                           m_checkDecimalComma}) {
        connect(box, &QCheckBox::toggled, this, &CSettingsDlg::UpdatePreview);
    }
    for (QLineEdit* edit : m_column)
        connect(edit, &QLineEdit::textChanged, this, &CSettingsDlg::UpdatePreview);
    connect(m_skipRows, &QLineEdit::textChanged, this, &CSettingsDlg::UpdatePreview);
    connect(&m_delimiterGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) UpdatePreview();
    });
    connect(m_dateFormat, &QComboBox::currentIndexChanged, this, &CSettingsDlg::UpdatePreview);
    connect(m_dateFormat, &QComboBox::editTextChanged, this, &CSettingsDlg::UpdatePreview);

    ConnectOutputChecks();
}

QSize CSettingsDlg::sizeHint() const {
    // The whole body when the screen has room for it; never more than the screen.
    QSize wanted =
        m_scroll->widget()->sizeHint() + QSize(m_scroll->verticalScrollBar()->sizeHint().width(), 0);
    wanted += QSize(layout()->contentsMargins().left() + layout()->contentsMargins().right(),
                    layout()->contentsMargins().top() + layout()->contentsMargins().bottom() +
                        layout()->spacing() + m_ok->sizeHint().height());
    if (const QScreen* screen = this->screen()) wanted = wanted.boundedTo(screen->availableSize() * 0.95);
    return wanted;
}

QSize CSettingsDlg::minimumSizeHint() const { return {320, 240}; }

void CSettingsDlg::FromSettings(const CConversionSettings& s) {
    m_strDateFormat = QString::fromStdString(s.strDateFormat);
    m_nExist = s.nExist;
    m_nDelimiter = s.nDelimiter;
    m_bDecimalComma = s.bDecimalComma;
    m_bUpdate = s.bUpdate;
    m_strPathOut = QFile::decodeName(QByteArray::fromStdString(s.strPathOut));
    m_strSymbol = QString::fromStdString(s.strSymbol);
    m_strName = QString::fromStdString(s.strName);
    m_bSkipOn = s.bSkipOn;
    m_nSkipRows = s.nSkipRows;
    for (int f = 0; f < kFieldCount; ++f) {
        if (kFieldMembers[f].on != nullptr) this->*kFieldMembers[f].on = s.bFieldOn[f];
        this->*kFieldMembers[f].column = s.nColumn[f];
    }
}

CConversionSettings CSettingsDlg::ToSettings() const {
    CConversionSettings s;
    s.strDateFormat = m_strDateFormat.toStdString();
    s.nExist = m_nExist;
    s.nDelimiter = m_nDelimiter;
    s.bDecimalComma = m_bDecimalComma;
    s.bUpdate = m_bUpdate;
    s.strPathOut = QFile::encodeName(m_strPathOut).toStdString();
    s.strSymbol = m_strSymbol.toStdString();
    s.strName = m_strName.toStdString();
    s.bSkipOn = m_bSkipOn;
    s.nSkipRows = static_cast<int>(m_nSkipRows);
    for (int f = 0; f < kFieldCount; ++f) {
        s.nColumn[f] = static_cast<int>(this->*kFieldMembers[f].column);
        s.bFieldOn[f] = kFieldMembers[f].on != nullptr ? this->*kFieldMembers[f].on : 1;
    }
    return s;
}

void CSettingsDlg::ShowValues() {
    m_bShowing = true;
    for (int f : kCheckBoxOrder) CheckBox(f)->setChecked(this->*kFieldMembers[f].on);
    for (int f = 0; f < kFieldCount; ++f)
        m_column[f]->setText(QString::number(this->*kFieldMembers[f].column));
    CheckRadio(m_masterGroup, m_nExist);
    // The limits stop typing past them; a longer preset text is shown whole
    // (a cut path would name another directory) and refused when taken.
    auto showText = [](QLineEdit* edit, const QString& text, int limit) {
        edit->setMaxLength(std::max(limit, static_cast<int>(text.size())));
        edit->setText(text);
    };
    showText(m_name, m_strName, kMaxNameLength);
    showText(m_path, m_strPathOut, kMaxPathLength);
    showText(m_symbol, m_strSymbol, static_cast<int>(kMaxSymbolBytes));
    m_skipRows->setText(QString::number(m_nSkipRows));
    m_checkSkip->setChecked(m_bSkipOn);
    CheckRadio(m_delimiterGroup, m_nDelimiter);
    m_checkDecimalComma->setChecked(m_bDecimalComma);
    m_checkUpdate->setChecked(m_bUpdate);
    int entry = FindDateFormat(m_strDateFormat.toStdString());
    if (entry > 0) {
        m_dateFormat->setCurrentIndex(entry - 1);
    } else {
        // No entry begins with the text: it stands in the field as it is; on
        // opening nothing is selected, later the selection stays.
        if (!m_bOpened) m_dateFormat->setCurrentIndex(-1);
        m_dateFormat->setEditText(m_strDateFormat);
    }
    m_bShowing = false;
    if (m_bOpened) CheckOutput();
    UpdatePreview();
}

bool CSettingsDlg::Refuse(QWidget* control, const std::string& message) {
    m_prompt.MessageBox(message, kMbOk);
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    return false;
}

bool CSettingsDlg::TakeValues() {
    // Each value is checked by the rule tarvel-cli applies and kept only when
    // it passes; the first that fails is shown and keeps the focus.
    CConversionSettings s;
    auto refused = [this, &s](ESettingValue value, int field, QWidget* control) {
        std::optional<CSettingProblem> problem = CheckTakenValue(s, value, field);
        return problem.has_value() && !Refuse(control, problem->strMessage);
    };
    for (int f : kCheckBoxOrder) this->*kFieldMembers[f].on = CheckBox(f)->isChecked();
    for (int f = 0; f < kFieldCount; ++f) {
        long long value = 0;
        if (!ParseUnsigned(m_column[f]->text(), &value)) return Refuse(m_column[f], kWholeNumberMessage);
        this->*kFieldMembers[f].column = value;
        s.nColumn[f] = static_cast<int>(std::min<long long>(value, std::numeric_limits<int>::max()));
        if (refused(ESettingValue::kColumn, f, m_column[f])) return false;
    }
    m_nExist = m_masterGroup.checkedId();
    s.strName = m_name->text().toStdString();
    if (refused(ESettingValue::kName, -1, m_name)) return false;
    m_strName = m_name->text();
    s.strPathOut = m_path->text().toStdString();
    if (refused(ESettingValue::kPathOut, -1, m_path)) return false;
    m_strPathOut = m_path->text();
    s.strSymbol = m_symbol->text().toStdString();
    if (refused(ESettingValue::kSymbol, -1, m_symbol)) return false;
    m_strSymbol = m_symbol->text();
    long long skip = 0;
    if (!ParseUnsigned(m_skipRows->text(), &skip)) return Refuse(m_skipRows, kWholeNumberMessage);
    m_nSkipRows = skip;
    s.nSkipRows = static_cast<int>(std::min<long long>(skip, std::numeric_limits<int>::max()));
    if (refused(ESettingValue::kSkipRows, -1, m_skipRows)) return false;
    m_bSkipOn = m_checkSkip->isChecked();
    m_nDelimiter = m_delimiterGroup.checkedId();
    m_bDecimalComma = m_checkDecimalComma->isChecked();
    m_bUpdate = m_checkUpdate->isChecked();
    s.strDateFormat = m_dateFormat->currentText().toStdString();
    if (refused(ESettingValue::kDateFormat, -1, m_dateFormat)) return false;
    m_strDateFormat = m_dateFormat->currentText();
    return true;
}

QCheckBox* CSettingsDlg::CheckBox(int field) const {
    switch (field) {
        case kOpen:
            return m_checkOpen;
        case kHigh:
            return m_checkHigh;
        case kLow:
            return m_checkLow;
        case kVolume:
            return m_checkVolume;
        case kOpenInt:
            return m_checkOpenInt;
        default:
            return nullptr;  // Date and Close are always taken
    }
}

void CSettingsDlg::UpdateEnabling() {
    for (int field : kCheckBoxOrder) {
        m_column[field]->setEnabled(CheckBox(field)->isChecked());
        m_spin[field]->setEnabled(CheckBox(field)->isChecked());
    }
    m_skipRows->setEnabled(m_checkSkip->isChecked());
    m_skipSpin->setEnabled(m_checkSkip->isChecked());
}

void CSettingsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bOpened) return;
    // Qt opens a window at most two thirds of the screen; this one takes
    // what it needs up to nearly all of it, unless given a size.
    if (!testAttribute(Qt::WA_Resized)) {
        resize(sizeHint());
        adjustPosition(parentWidget());
    }
    ShowValues();
    m_skipSpin->SetRange(0, kMaxSkipRows);
    for (CSpinButton* spin : m_spin) spin->SetRange(1, kMaxColumns);
    UpdateEnabling();
    m_bOpened = true;
    CheckOutput();
    // A file whose name makes no symbol waits for one; so does a symbol the
    // portfolio holds, or a folder that will not do, which keep OK disabled
    // (the focus would otherwise fall to Cancel, and Enter cancel).
    if (m_symbol->text().isEmpty() || !m_ok->isEnabled()) {
        m_symbol->setFocus();
    } else {
        m_ok->setFocus();
    }
}

void CSettingsDlg::SetDetectionNote(const QString& text) {
    m_detectionNote->setText(text);
    m_detectionNote->setVisible(!text.isEmpty());
}

void CSettingsDlg::OnCheckBox(QCheckBox* box) {
    TakeValues();
    UpdateEnabling();
    if (!box->isChecked()) {
        if (box == m_checkSkip) {
            m_skipRows->setText(QStringLiteral("0"));
            return;
        }
        for (int field : kCheckBoxOrder) {
            if (CheckBox(field) == box) m_column[field]->setText(QStringLiteral("1"));
        }
    }
}

bool CSettingsDlg::RunChooser(CChooseDir& chooser) { return chooser.exec() == QDialog::Accepted; }

void CSettingsDlg::OnBrowse() {
    TakeValues();  // a failure has shown its message; the chooser opens all the same
    CChooseDir chooser(m_prompt, m_platform, m_strPathOut, this);
    chooser.AddPlaces(m_recentPortfolios);
    if (!RunChooser(chooser)) return;
    m_strPathOut = chooser.m_strDir;
    ShowValues();
}

void CSettingsDlg::OnOK() {
    if (!TakeValues()) return;
    CConversionSettings settings = ToSettings();
    const std::optional<CSettingProblem> problem = NormaliseAndFindProblem(settings);
    if (problem && problem->value != ESettingValue::kBlankPath) {
        m_prompt.MessageBox(problem->strMessage, kMbOk);
        return;
    }
    m_strSymbol = QString::fromStdString(settings.strSymbol);
    ShowValues();
    if (problem) {
        m_prompt.MessageBox(problem->strMessage, kMbOk);
        return;
    }
    if (m_pDateFormat != nullptr) *m_pDateFormat = m_dateFormat->currentIndex() + 1;
    TakeValues();
    accept();
}

}  // namespace tarvel
