#include "shell/batch_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "batch/count_text.h"
#include "pricedb/stored_number.h"
#include "shell/choose_dir.h"
#include "shell/settings_dialog.h"
#include "shell/tarvel_app.h"
#include "shell/tarvel_view.h"

namespace tarvel {
namespace {

QString QText(const std::string& text) { return QString::fromStdString(text); }

// A read-only cell.
QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace

// What the batch tells, carried from its thread to the window's. Each file,
// once read, waits for the window's answer, so that a Stop pressed while it
// was read is seen before it is converted.
class CBatchWindow::CEvents : public CBatchEvents {
public:
    explicit CEvents(CBatchWindow& window) : m_window(window) {}
    void Message(const std::string& file, const std::string& text) override {
        Post([file, text = QText(text)](CBatchWindow& w) { w.ShowMessage(file, text); });
    }
    void Waiting(const std::string& text) override {
        Post([text = QText(text)](CBatchWindow& w) { w.m_status->setText(text); });
    }
    void Reading(std::size_t index, std::size_t total, long, const std::string& file) override {
        Post([file, i = static_cast<int>(index), n = static_cast<int>(total)](CBatchWindow& w) {
            w.ShowReading(w.RowOf(file), i, n);
        });
    }
    bool GoOn(std::size_t index, const std::string& file) override {
        const int i = static_cast<int>(index);
        Post([file, i](CBatchWindow& w) { w.AnswerRead(w.RowOf(file), i); });
        std::unique_lock lock(m_window.m_mutex);
        m_window.m_answered.wait(lock, [&] { return m_window.m_nShown >= i || m_window.m_bClosing; });
        return !m_window.m_bStop;
    }
    void Converted(const std::string& file, long records, long leftOut) override {
        Post([file, records, leftOut](CBatchWindow& w) { w.ShowConverted(file, records, leftOut); });
    }

private:
    template <typename F>
    void Post(F show) {
        CBatchWindow* window = &m_window;
        QMetaObject::invokeMethod(
            window, [window, show] { show(*window); }, Qt::QueuedConnection);
    }
    CBatchWindow& m_window;
};

CBatchWindow::CBatchWindow(CTarvelApp& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setWindowTitle(tr("Convert Several Files"));
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, kColumns, this);
    m_table->setHorizontalHeaderLabels({tr("File"), tr("Symbol"), tr("Name"), tr("Rows"), tr("First date"),
                                        tr("Last date"), tr("Problem or result")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setTabKeyNavigation(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto* tableLabel = new QLabel(tr("&Files: double-click a symbol or a name to change it"), this);
    tableLabel->setBuddy(m_table);
    layout->addWidget(tableLabel);
    layout->addWidget(m_table, 1);
    connect(m_table, &QTableWidget::itemChanged, this, &CBatchWindow::OnSymbolEdited);

    auto* folderRow = new QHBoxLayout;
    auto* folderLabel = new QLabel(tr("Portfolio f&older:"), this);
    m_folder = new QLineEdit(this);
    folderLabel->setBuddy(m_folder);
    m_browse = new QPushButton(tr("&Browse..."), this);
    connect(m_browse, &QPushButton::clicked, this, &CBatchWindow::OnBrowse);
    connect(m_folder, &QLineEdit::textChanged, this, &CBatchWindow::EnableControls);
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    layout->addLayout(folderRow);
    m_update = new QCheckBox(tr("Add &newer rows to the securities the portfolio holds"), this);
    layout->addWidget(m_update);

    m_progress = new QProgressBar(this);
    m_progress->setValue(0);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);

    auto* buttons = new QDialogButtonBox(this);
    m_convert = buttons->addButton(tr("&Convert"), QDialogButtonBox::AcceptRole);
    m_close = buttons->addButton(QDialogButtonBox::Close);
    m_convert->setDefault(true);
    connect(m_convert, &QPushButton::clicked, this, &CBatchWindow::Convert);
    connect(m_close, &QPushButton::clicked, this, [this] {
        if (Running()) {
            Stop();
        } else {
            close();
        }
    });
    layout->addWidget(buttons);

    const QStringList recent = RecentPortfolios(*app.m_pSettings);
    m_folder->setText(QDir::toNativeSeparators(
        !recent.isEmpty() ? recent.first() : QText(LoadConversionSettings(*app.m_pSettings).strPathOut)));
    // Room for the columns where the screen has it; never more than the screen.
    QSize size(860, 420);
    if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableSize() * 0.95);
    resize(size);
}

CBatchWindow::~CBatchWindow() {
    if (!Running()) return;
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_bClosing = true;
    }
    m_answered.notify_all();
    m_worker.join();
}

bool CBatchWindow::SetInputs(const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    std::string error;
    if (!BatchFiles(inputs, &files, &error)) {
        m_app.prompt().MessageBox("Cannot convert these files: " + error + ".", kMbOk);
        return false;
    }
    if (files.empty()) {
        m_app.prompt().MessageBox("The folders hold no .csv, .txt, .tsv or .prn files.", kMbOk);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_paths = files;
    m_detected.assign(files.size(), std::string());
    const QSignalBlocker quiet(m_table);
    m_table->setRowCount(static_cast<int>(files.size()));
    // The saved settings are read once for all rows, not once per file.
    const CConversionSettings saved = LoadConversionSettings(*m_app.m_pSettings);
    for (int row = 0; row < m_table->rowCount(); ++row)
        ReadRow(row, m_paths[static_cast<std::size_t>(row)], saved);
    m_table->resizeColumnsToContents();
    QApplication::restoreOverrideCursor();
    m_status->setText(files.size() == 1
                          ? tr("1 file to convert into the portfolio folder.")
                          : tr("%1 files to convert into the portfolio folder.").arg(files.size()));
    m_progress->setRange(0, static_cast<int>(files.size()));
    m_progress->setValue(0);
    EnableControls();
    return true;
}

JobChoices CBatchWindow::Choices() const {
    JobChoices c;
    c.symbolChoice = "a symbol in its row";
    c.settleAlone = "open the file alone (File > Open...) to set it in Conversion Settings";
    return c;
}

void CBatchWindow::ReadRow(int row, const std::string& path, const CConversionSettings& saved) {
    CPlatform& platform = m_app.platform();
    const JobChoices c = Choices();
    CRecordingPrompt prompt;
    CNoSettingsWriter writer;
    CConverter job(platform, prompt, writer);
    PreparedJob prepared;
    std::string refusal;
    int status = PrepareJob(c, path, platform, prompt, saved, &refusal, true, &prepared);
    if (status == kReady) {
        FillJob(c, prepared, path, job);
        status = job.DryRun() == 0 ? kReady : kExitFailed;
    }
    QTableWidgetItem* file = Cell(QFileInfo(QText(path)).fileName());
    file->setToolTip(QText(path));
    m_table->setItem(row, kFile, file);
    const bool tickers = status == kReady && job.Securities().size() > 1;
    QString symbol = QText(prepared.s.strSymbol);
    if (tickers) symbol = tr("%1 tickers").arg(job.Securities().size());
    m_detected[static_cast<std::size_t>(row)] = tickers ? std::string() : prepared.s.strSymbol;
    m_table->setItem(row, kSymbol, tickers ? Cell(symbol) : new QTableWidgetItem(symbol));
    m_table->setItem(row, kName, tickers ? Cell(QString()) : new QTableWidgetItem(symbol));
    QStringList problems;
    for (const std::string& text : prompt.m_texts) problems << QText(text);
    if (status == kExitUsage) problems << QText(refusal);
    if (status == kReady) {
        long rows = 0;
        int first = 0, last = 0;
        for (const NewSecurity& security : job.Securities()) {
            rows += security.recordCount;
            const int from = DayOfStoredDate(security.firstDate), to = DayOfStoredDate(security.lastDate);
            first = first == 0 ? from : std::min(first, from);
            last = std::max(last, to);
        }
        m_table->setItem(row, kRows, Cell(QText(Grouped(rows))));
        m_table->setItem(row, kFirst, Cell(rows > 0 ? DayQText(first) : QString()));
        m_table->setItem(row, kLast, Cell(rows > 0 ? DayQText(last) : QString()));
        if (job.SkippedRows() > 0) {
            problems << tr("%1 skipped; the first, line %2: %3.")
                            .arg(QText(RowsText(job.SkippedRows())))
                            .arg(job.FirstSkippedLine())
                            .arg(QText(job.FirstSkipReason()));
        }
    }
    for (int column : {kRows, kFirst, kLast})
        if (m_table->item(row, column) == nullptr) m_table->setItem(row, column, Cell(QString()));
    QTableWidgetItem* problem = Cell(problems.join(QLatin1Char(' ')));
    problem->setToolTip(problem->text());
    m_table->setItem(row, kProblem, problem);
}

void CBatchWindow::OnSymbolEdited(QTableWidgetItem* item) {
    if (item->column() != kSymbol) return;
    // A name still the old symbol follows the symbol.
    QTableWidgetItem* name = m_table->item(item->row(), kName);
    const QString previous = item->data(Qt::UserRole).isValid()
                                 ? item->data(Qt::UserRole).toString()
                                 : QText(m_detected[static_cast<std::size_t>(item->row())]);
    const QSignalBlocker quiet(m_table);
    item->setData(Qt::UserRole, item->text());
    if (name != nullptr && name->text() == previous) name->setText(item->text());
}

void CBatchWindow::OnBrowse() {
    CChooseDir chooser(m_app.prompt(), m_app.platform(), m_folder->text(), this);
    chooser.AddPlaces(RecentPortfolios(*m_app.m_pSettings));
    if (chooser.exec() == QDialog::Accepted) m_folder->setText(chooser.m_strDir);
}

void CBatchWindow::EnableControls() {
    const bool running = Running();
    m_convert->setEnabled(!running && !m_paths.empty() && !m_folder->text().trimmed().isEmpty());
    m_table->setEnabled(!running);
    m_folder->setEnabled(!running);
    m_browse->setEnabled(!running);
    m_update->setEnabled(!running);
    m_close->setText(running ? tr("&Cancel") : tr("Close"));
}

void CBatchWindow::Convert() {
    if (Running() || m_paths.empty()) return;
    const QString folder = m_folder->text().trimmed();
    std::vector<BatchFile> files;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const std::size_t i = static_cast<std::size_t>(row);
        BatchFile file{m_paths[i], {}, {}};
        // Only what the user changed is chosen; the rest is read as
        // tarvel-cli reads it. Texts compare as shown, so that a name whose
        // bytes are no UTF-8 keeps its symbol.
        const QString symbol = m_table->item(row, kSymbol)->text().trimmed();
        const QString name = m_table->item(row, kName)->text();
        const bool tickers = !(m_table->item(row, kSymbol)->flags() & Qt::ItemIsEditable);
        if (!tickers && symbol != QText(m_detected[i])) file.symbol = symbol.toStdString();
        // A name left empty is the symbol, as it is unchanged.
        if (!tickers && !name.isEmpty() && name != symbol) file.name = name.toStdString();
        files.push_back(std::move(file));
        m_table->item(row, kProblem)->setText(QString());
    }
    JobChoices c = Choices();
    c.out = folder.toStdString();
    c.update = m_update->isChecked();
    m_runFolder = QFileInfo(folder).absoluteFilePath();
    m_bStop = false;
    m_nShown = -1;
    m_messages.clear();
    m_progress->setRange(0, static_cast<int>(files.size()));
    m_progress->setValue(0);
    const CConversionSettings saved = LoadConversionSettings(*m_app.m_pSettings);
    m_worker = std::thread([this, c, saved, files = std::move(files)]() mutable {
        CEvents events(*this);
        const BatchTotals totals = RunFileBatch(m_app.platform(), c, saved, std::move(files), events);
        QMetaObject::invokeMethod(
            this, [this, totals] { Finish(totals); }, Qt::QueuedConnection);
    });
    EnableControls();
}

void CBatchWindow::Stop() {
    m_bStop = true;
    m_close->setEnabled(false);
    m_status->setText(tr("Stopping: the files converted so far stay; the one being read is not added."));
}

int CBatchWindow::RowOf(const std::string& file) const {
    const auto it = std::find(m_paths.begin(), m_paths.end(), file);
    return it == m_paths.end() ? -1 : static_cast<int>(it - m_paths.begin());
}

void CBatchWindow::ShowReading(int row, int index, int total) {
    m_progress->setValue(index);
    if (row < 0) return;
    m_table->selectRow(row);
    m_status->setText(
        tr("Converting %1 (%2 of %3)...").arg(m_table->item(row, kFile)->text()).arg(index + 1).arg(total));
}

void CBatchWindow::AnswerRead(int row, int index) {
    if (m_onFileRead) m_onFileRead(row);
    {
        std::lock_guard lock(m_mutex);
        m_nShown = index;
    }
    m_answered.notify_all();
}

void CBatchWindow::ShowMessage(const std::string& file, const QString& text) {
    m_messages << (file.empty() ? text : QFileInfo(QText(file)).fileName() + QStringLiteral(": ") + text);
    const int row = RowOf(file);
    if (row < 0) return;
    QTableWidgetItem* problem = m_table->item(row, kProblem);
    problem->setText(problem->text().isEmpty() ? text : problem->text() + QLatin1Char(' ') + text);
    problem->setToolTip(problem->text());
}

void CBatchWindow::ShowConverted(const std::string& file, long records, long leftOut) {
    const int row = RowOf(file);
    if (row < 0) return;
    m_table->item(row, kProblem)
        ->setText(records == 0 ? tr("No newer rows: the file's %1 in the portfolio already.")
                                     .arg(QText(RowsText(leftOut)) + (leftOut == 1 ? tr(" is") : tr(" are")))
                               : tr("Converted: %1.").arg(QText(StoredText(records, leftOut))));
}

void CBatchWindow::Finish(const BatchTotals& totals) {
    m_worker.join();
    const QString summary = QText(SummaryLine(totals));
    const auto stopped = static_cast<std::size_t>(totals.stopped);
    m_progress->setValue(static_cast<int>(m_paths.size() - stopped));
    m_status->setText(QText(SummaryLine(totals, "the rows and the log")));
    // A row the batch said nothing of was refused with others, or stopped.
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QTableWidgetItem* problem = m_table->item(row, kProblem);
        if (!problem->text().isEmpty()) continue;
        const bool notBegun = static_cast<std::size_t>(row) >= m_paths.size() - stopped;
        problem->setText(notBegun && totals.stopped > 0 ? tr("Not converted: the batch was stopped.")
                                                        : tr("Not converted: see the log."));
    }
    if (totals.converted > 0) RememberPortfolio(*m_app.m_pSettings, m_runFolder);
    EnableControls();
    m_close->setEnabled(true);
    QString entry = m_paths.size() == 1 ? tr("\r\nBatch of 1 file:\r\n")
                                        : tr("\r\nBatch of %1 files:\r\n").arg(m_paths.size());
    for (const QString& message : m_messages) entry += message + QStringLiteral("\r\n");
    entry += summary;
    // The portfolio is linked when the batch put something in it.
    if (totals.converted > 0) entry += QStringLiteral("\r\nPortfolio: ");
    if (m_onFinished) m_onFinished(entry, totals.converted > 0 ? m_runFolder : QString());
    if (auto ended = std::exchange(m_onEnded, nullptr)) ended();
}

void CBatchWindow::closeEvent(QCloseEvent* event) {
    if (Running()) {
        Stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace tarvel
