// The dialog's check of the output settings as they are typed: what the
// folder, the MASTER choice and the symbol come to, and whether OK may run.
#include <QFile>

#include "platform/ascii.h"
#include "pricedb/find_security.h"
#include "pricedb/price_file.h"
#include "shell/settings_dialog.h"

namespace tarvel {

QString DayQText(int day) { return QString::fromStdString(DayText(day)); }

void CSettingsDlg::ConnectOutputChecks() {
    for (QLineEdit* edit : {m_path, m_symbol})
        connect(edit, &QLineEdit::textChanged, this, &CSettingsDlg::CheckOutput);
    connect(&m_masterGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) CheckOutput();
    });
    for (QCheckBox* box : {m_checkOpen, m_checkHigh, m_checkLow, m_checkVolume, m_checkOpenInt}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            if (m_checkUpdate->isChecked()) CheckOutput();
        });
    }
    connect(m_checkUpdate, &QCheckBox::toggled, this, [this] {
        CheckOutput();
        UpdatePreview();
    });
    // After the offer is taken, Enter means OK.
    connect(m_outputCheck, &QLabel::linkActivated, this, [this] {
        m_checkUpdate->setChecked(true);
        if (m_ok->isEnabled()) m_ok->setFocus();
    });
}

void CSettingsDlg::CheckOutput() {
    if (m_bShowing) return;
    const int heldBefore = m_nHeldLastDay;
    m_nHeldLastDay = 0;
    const QString folder = m_path->text();
    const std::string dir = QFile::encodeName(folder).toStdString();
    const std::string symbol = m_symbol->text().trimmed().toStdString();
    const int master = m_masterGroup.checkedId();  // 0 existing, 1 new, -1 either
    QString problem, note;
    bool html = false;  // `problem` is marked up already
    if (folder.trimmed().isEmpty()) {
        problem = QStringLiteral("Enter the folder of the portfolio, or choose it with Browse...");
    } else if (!m_platform.IsDirectory(dir)) {
        problem =
            QStringLiteral("%1 is no folder that exists: choose one with Browse..., or type the path of one.")
                .arg(folder);
    } else {
        const bool hasMaster = m_platform.FindName(dir, kMasterName).has_value();
        ListedSecurity held;
        std::string unread;
        if (master == 0 && !hasMaster) {
            problem = QStringLiteral(
                          "%1 holds no MASTER: choose Make New Master to start a portfolio there, or another "
                          "folder.")
                          .arg(folder);
        } else if (master == 1 && hasMaster) {
            problem = QStringLiteral(
                          "%1 holds a portfolio already: choose Use Existing Master to add to it, or another "
                          "folder.")
                          .arg(folder);
        } else if (symbol.empty()) {
            problem = QStringLiteral("Enter a symbol for the security.");
        } else if (hasMaster && FindListedSecurity(m_platform, dir, symbol, &held, &unread)) {
            const std::size_t length = held.inXMaster ? 4 * static_cast<std::size_t>(held.fieldCount)
                                                      : held.record[kRecRecordLength];
            const long rows = CountPriceRecords(m_platform, held.directory, held.dataFile, length);
            const QString what = QStringLiteral("%1 is in this portfolio already (%2%3)")
                                     .arg(QString::fromStdString(held.entry.symbol),
                                          rows >= 0 ? (rows == 1 ? QStringLiteral("1 row")
                                                                 : QStringLiteral("%L1 rows").arg(rows)) +
                                                          QStringLiteral(" to ")
                                                    : QStringLiteral("up to "),
                                          DayQText(held.entry.lastDay));
            QString below = QString::fromStdString(held.directory);
            while (below.size() > 1 &&
                   (below.endsWith(QLatin1Char('/')) || below.endsWith(QLatin1Char('\\'))))
                below.chop(1);
            QString top = folder;
            while (top.size() > 1 && (top.endsWith(QLatin1Char('/')) || top.endsWith(QLatin1Char('\\'))))
                top.chop(1);
            bool fieldsDiffer = false;
            QStringList heldFields;
            for (int f = 0; f < kFieldCount; ++f) {
                if (held.entry.fieldOn[f]) heldFields << QString::fromLatin1(kFieldNames[f]);
                const QCheckBox* box = CheckBox(f);
                if (held.fieldsKnown && box != nullptr && box->isChecked() != held.entry.fieldOn[f])
                    fieldsDiffer = true;
            }
            if (AsciiUpper(held.entry.symbol) != AsciiUpper(symbol)) {
                // The portfolio would take the symbol for another security
                // (its name, or the first words of its symbol).
                problem = QStringLiteral(
                              "%1 would be taken for %2, which this portfolio holds: give another symbol.")
                              .arg(m_symbol->text().trimmed(), QString::fromStdString(held.entry.symbol));
            } else if (below != top) {
                problem = what + QStringLiteral(
                                     ", kept in %1, which adding newer rows does not reach. Give another "
                                     "symbol.")
                                     .arg(below);
            } else if (m_checkUpdate->isChecked() && fieldsDiffer) {
                problem = what + QStringLiteral(" with the fields %1: tick those above to add rows to it.")
                                     .arg(heldFields.join(QStringLiteral(", ")));
            } else if (m_checkUpdate->isChecked()) {
                m_nHeldLastDay = held.entry.lastDay;
                note =
                    what +
                    QStringLiteral(": the rows dated after %1 are added.").arg(DayQText(held.entry.lastDay));
            } else {
                problem = what.toHtmlEscaped() +
                          QStringLiteral(
                              ". <a href=\"newer\">Add the newer rows</a> to it, or give another symbol.");
                html = true;
            }
        } else if (!unread.empty()) {
            problem = QString::fromStdString(unread);
        }
    }
    const QString said = problem.isEmpty() ? note : problem;
    m_outputCheck->setText(html ? said : said.toHtmlEscaped());
    m_outputCheck->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("QLabel { color: #a00; }"));
    m_outputCheck->setVisible(!said.isEmpty());
    m_ok->setEnabled(problem.isEmpty());
    // The preview shows all rows or only the newer ones.
    if (m_nHeldLastDay != heldBefore) UpdatePreview();
}

}  // namespace tarvel
