#include "shell/portfolio_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QSaveFile>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

#include "convert/converter.h"
#include "pricedb/maintain.h"
#include "pricedb/portfolio_check.h"
#include "pricedb/price_file.h"
#include "pricedb/undo.h"
#include "shell/tarvel_app.h"

namespace tarvel {
namespace {

enum Column { kSymbol, kName, kFields, kFirst, kLast, kRecords, kFile, kColumns };

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString DateOf(int day) {
    return day == 0 ? QString()
                    : QString::asprintf("%04d-%02d-%02d", day / 10000, day / 100 % 100, day % 100);
}

QString Value(float value) {
    return std::fabs(value) >= 1e7 ? QString::number(double(value), 'f', 0)
                                   : QString::number(double(value), 'g', 7);
}

}  // namespace

// The records of the security shown, newest first. Export... writes them
// as tarvel-cli export does: the labels of F<n>.DOP, then the records oldest
// first.
class CRecordsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void Set(std::vector<PriceBar> bars, bool openInterest) {
        beginResetModel();
        m_bars = std::move(bars);
        m_columns.clear();
        for (int f = kDate; f <= kVolume; ++f) {
            if (f == kDate || std::any_of(m_bars.begin(), m_bars.end(),
                                          [&](const PriceBar& b) { return !std::isnan(ValueOf(b, f)); })) {
                m_columns.push_back(f);
            }
        }
        if (openInterest) m_columns.push_back(kOpenInt);
        endResetModel();
    }
    void SetOpenInterest(std::vector<float> values) { m_openInterest = std::move(values); }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_bars.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        const std::size_t row = m_bars.size() - 1 - static_cast<std::size_t>(index.row());
        const int field = m_columns[static_cast<std::size_t>(index.column())];
        if (field == kDate) return DateOf(m_bars[row].day);
        const float v = field == kOpenInt ? m_openInterest[row] : ValueOf(m_bars[row], field);
        return std::isnan(v) ? QString() : Value(v);
    }
    // The label F<n>.DOP gives the field of `column` ("DATE", "OPEN", ...).
    QString Label(int column) const { return kFieldLabels[m_columns[static_cast<std::size_t>(column)]]; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return QString(kFieldNames[m_columns[static_cast<std::size_t>(section)]]);
    }

private:
    static float ValueOf(const PriceBar& b, int field) {
        switch (field) {
            case kOpen:
                return b.open;
            case kHigh:
                return b.high;
            case kLow:
                return b.low;
            case kClose:
                return b.close;
            case kVolume:
                return b.volume;
            default:
                return NAN;
        }
    }
    std::vector<PriceBar> m_bars;
    std::vector<float> m_openInterest;
    std::vector<int> m_columns;
};

CPortfolioWindow::CPortfolioWindow(CTarvelApp& app, QWidget* parent)
    : QMainWindow(parent),
      m_app(app),
      m_model(new QStandardItemModel(0, kColumns, this)),
      m_proxy(new QSortFilterProxyModel(this)),
      m_recordsModel(new CRecordsModel(this)),
      m_securities(new QTableView),
      m_records(new QTableView),
      m_chart(new CPriceChart),
      m_filter(new QLineEdit),
      m_style(new QComboBox) {
    setWindowTitle(tr("Portfolio"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_model->setHorizontalHeaderLabels(
        {tr("Symbol"), tr("Name"), tr("Fields"), tr("First"), tr("Last"), tr("Records"), tr("File")});
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setSortRole(Qt::UserRole);
    m_securities->setModel(m_proxy);
    m_securities->setSortingEnabled(true);
    m_securities->sortByColumn(kSymbol, Qt::AscendingOrder);
    m_securities->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_securities->setSelectionMode(QAbstractItemView::SingleSelection);
    m_securities->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_securities->verticalHeader()->hide();
    m_securities->horizontalHeader()->setStretchLastSection(true);
    m_securities->setTabKeyNavigation(false);
    m_records->setModel(m_recordsModel);
    m_records->verticalHeader()->hide();
    m_records->setTabKeyNavigation(false);
    m_records->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_filter->setPlaceholderText(tr("Filter by symbol or name"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, m_proxy, &QSortFilterProxyModel::setFilterFixedString);
    m_style->addItems({tr("Close line"), tr("OHLC bars"), tr("Candles")});
    connect(m_style, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_chart->SetStyle(static_cast<CPriceChart::EStyle>(index)); });

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_filter);
    leftLayout->addWidget(m_securities);
    auto* right = new QSplitter(Qt::Vertical);
    auto* chartPane = new QWidget;
    auto* chartLayout = new QVBoxLayout(chartPane);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    auto* styleRow = new QHBoxLayout;
    auto* styleLabel = new QLabel(tr("C&hart:"));
    styleLabel->setBuddy(m_style);
    styleRow->addWidget(styleLabel);
    styleRow->addWidget(m_style);
    styleRow->addStretch();
    chartLayout->addLayout(styleRow);
    chartLayout->addWidget(m_chart, 1);
    right->addWidget(chartPane);
    right->addWidget(m_records);
    right->setStretchFactor(0, 2);
    right->setStretchFactor(1, 1);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setSizes({440, 660});
    setCentralWidget(split);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open Portfolio Folder..."), QKeySequence::Open, this, [this] {
        QString dir = QFileDialog::getExistingDirectory(this, tr("Open Portfolio Folder"), m_dir);
        if (!dir.isEmpty()) OpenPortfolio(dir);
    });
    m_export =
        file->addAction(tr("&Export..."), QKeySequence(tr("Ctrl+E")), this, &CPortfolioWindow::OnExport);
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    m_undo = edit->addAction(tr("&Undo"), QKeySequence::Undo, this, &CPortfolioWindow::OnUndo);
    edit->addSeparator();
    m_rename = edit->addAction(tr("&Rename..."), QKeySequence(Qt::Key_F2), this, &CPortfolioWindow::OnRename);
    m_remove = edit->addAction(tr("Re&move"), QKeySequence::Delete, this, &CPortfolioWindow::OnRemove);
    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    QAction* check = tools->addAction(tr("&Check Portfolio"), this, &CPortfolioWindow::OnCheck);
    QToolBar* bar = addToolBar(tr("Portfolio"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addActions({m_export, m_rename, m_remove, check, m_undo});
    m_export->setStatusTip(tr("Write the records of the security as CSV"));
    m_rename->setStatusTip(tr("Give the security another symbol or name"));
    m_remove->setStatusTip(tr("Remove the security from the portfolio"));
    check->setStatusTip(tr("Check every file of the portfolio, changing nothing"));
    statusBar();

    connect(m_securities->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { ShowSecurity(Selected()); });
    m_saveFileName = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, tr("Export"), suggested,
                                            tr("CSV files (*.csv);;All files (*)"));
    };
    m_editSymbol = [this](QString* symbol, QString* name) {
        QDialog dialog(this);
        dialog.setWindowTitle(tr("Rename"));
        auto* form = new QFormLayout(&dialog);
        auto* symbolEdit = new QLineEdit(*symbol);
        auto* nameEdit = new QLineEdit(*name);
        symbolEdit->setMaxLength(static_cast<int>(kMaxSymbolBytes));
        form->addRow(tr("&Symbol:"), symbolEdit);
        form->addRow(tr("&Name:"), nameEdit);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        form->addRow(buttons);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        if (dialog.exec() != QDialog::Accepted) return false;
        *symbol = symbolEdit->text();
        *name = nameEdit->text();
        return true;
    };
    resize(1100, 700);
    UpdateActions();
}

CPortfolioWindow::~CPortfolioWindow() = default;

bool CPortfolioWindow::OpenPortfolio(const QString& dir) {
    const std::string path = dir.toStdString();
    if (!m_app.platform().FindName(path, kMasterName)) {
        m_app.prompt().MessageBox("There is no portfolio in " + path + ": it has no MASTER file.", kMbOk);
        return false;
    }
    m_dir = dir;
    setWindowTitle(tr("Portfolio - %1").arg(dir));
    Reload();
    return true;
}

void CPortfolioWindow::Reload() {
    const QString keep = SelectedSymbol();
    std::string problem;
    const std::string dir = m_dir.toStdString();
    m_listed = ListPortfolio(m_app.platform(), dir, &problem);
    // The undo record is read once a reload, not at every row chosen.
    m_strUndoable = Text(UndoableChange(m_app.platform(), dir));
    if (!problem.empty()) statusBar()->showMessage(Text(problem));
    m_model->removeRows(0, m_model->rowCount());
    const std::string top = dir.ends_with('/') ? dir : dir + "/";
    for (std::size_t i = 0; i < m_listed.size(); ++i) {
        const ListedSecurity& s = m_listed[i];
        const std::size_t length =
            s.inXMaster ? 4 * static_cast<std::size_t>(s.fieldCount) : s.record[kRecRecordLength];
        const long count = CountPriceRecords(m_app.platform(), s.directory, s.dataFile, length);
        auto cell = [](const QString& text, const QVariant& key) {
            auto* item = new QStandardItem(text);
            item->setData(key, Qt::UserRole);
            return item;
        };
        const QString symbol = Text(s.entry.symbol);
        QList<QStandardItem*> row = {
            cell(symbol, symbol.toUpper()),
            cell(Text(s.entry.name), Text(s.entry.name).toUpper()),
            cell(QString::number(s.fieldCount), s.fieldCount),
            cell(DateOf(s.entry.firstDay), s.entry.firstDay),
            cell(DateOf(s.entry.lastDay), s.entry.lastDay),
            cell(count == -2 ? tr("damaged")
                 : count < 0 ? tr("missing")
                             : QString::number(count),
                 static_cast<qlonglong>(count)),
            cell(Text(s.directory.substr(std::min(top.size(), s.directory.size())) + s.dataFile),
                 static_cast<qlonglong>(i)),
        };
        row[kSymbol]->setData(static_cast<qlonglong>(i), Qt::UserRole + 1);
        for (int c : {kFields, kRecords}) row[c]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->appendRow(row);
    }
    m_securities->resizeColumnsToContents();
    statusBar()->showMessage(
        m_listed.size() == 1 ? tr("1 security") : tr("%1 securities").arg(m_listed.size()), 5000);
    if (keep.isEmpty() || !SelectSymbol(keep)) {
        if (m_proxy->rowCount() > 0) {
            m_securities->setCurrentIndex(m_proxy->index(0, kSymbol));
        } else {
            ShowSecurity(nullptr);
        }
    }
    UpdateActions();
}

const ListedSecurity* CPortfolioWindow::Selected() const {
    const QModelIndex current = m_securities->currentIndex();
    if (!current.isValid()) return nullptr;
    const QVariant index = m_proxy->index(current.row(), kSymbol).data(Qt::UserRole + 1);
    const auto i = static_cast<std::size_t>(index.toLongLong());
    return index.isValid() && i < m_listed.size() ? &m_listed[i] : nullptr;
}

QString CPortfolioWindow::SelectedSymbol() const {
    const ListedSecurity* s = Selected();
    return s == nullptr ? QString() : Text(s->entry.symbol);
}

bool CPortfolioWindow::SelectSymbol(const QString& symbol) {
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        if (m_proxy->index(row, kSymbol).data().toString().compare(symbol, Qt::CaseInsensitive) == 0) {
            m_securities->setCurrentIndex(m_proxy->index(row, kSymbol));
            return true;
        }
    }
    return false;
}

void CPortfolioWindow::ShowSecurity(const ListedSecurity* s) {
    std::vector<PriceBar> bars;
    std::vector<float> openInterest;
    bool hasOpenInterest = false;
    if (s != nullptr) {
        const int fieldCount = s->inXMaster ? s->fieldCount : s->record[kRecFieldCount];
        const std::size_t length =
            s->inXMaster ? 4 * static_cast<std::size_t>(s->fieldCount) : s->record[kRecRecordLength];
        CPriceFile file;
        std::string error;
        if (!file.Read(m_app.platform(), s->directory, s->dataFile, length, &error)) {
            statusBar()->showMessage(tr("%1: %2").arg(Text(s->dataFile), Text(error)));
        } else {
            const std::vector<int> fields = RecordFields(m_app.platform(), *s, fieldCount);
            bars.reserve(file.RecordCount());
            for (std::size_t r = 0; r < file.RecordCount(); ++r) {
                PriceBar b{0, NAN, NAN, NAN, NAN, NAN};
                float oi = NAN;
                for (std::size_t f = 0; f < fields.size() && f < file.FieldCount(); ++f) {
                    const StoredNumber v = file.Field(r, f);
                    switch (fields[f]) {
                        case kDate:
                            b.day = DayOfStoredDate(v);
                            break;
                        case kOpen:
                            b.open = DecodeStoredNumber(v);
                            break;
                        case kHigh:
                            b.high = DecodeStoredNumber(v);
                            break;
                        case kLow:
                            b.low = DecodeStoredNumber(v);
                            break;
                        case kClose:
                            b.close = DecodeStoredNumber(v);
                            break;
                        case kVolume:
                            b.volume = DecodeStoredNumber(v);
                            break;
                        default:
                            oi = DecodeStoredNumber(v);
                            hasOpenInterest = true;
                    }
                }
                bars.push_back(b);
                openInterest.push_back(oi);
            }
        }
    }
    m_recordsModel->SetOpenInterest(std::move(openInterest));
    m_recordsModel->Set(bars, hasOpenInterest);
    m_records->resizeColumnsToContents();
    // Bars and candles where the security has opens, highs and lows.
    const bool ohlc = !bars.empty() && !std::isnan(bars.front().open) && !std::isnan(bars.front().high);
    if (!ohlc) m_style->setCurrentIndex(0);
    m_style->setEnabled(ohlc);
    m_chart->SetBars(std::move(bars));
    UpdateActions();
}

void CPortfolioWindow::UpdateActions() {
    const bool chosen = Selected() != nullptr;
    // The same folder whichever separators name it ("C:\\pf\\" and "C:/pf").
    auto folder = [](const QString& path) { return QDir::cleanPath(QDir::fromNativeSeparators(path)); };
    const bool top = chosen && folder(QString::fromStdString(Selected()->directory)) == folder(m_dir);
    m_export->setEnabled(chosen);
    // Renaming and removing reach the portfolio's own securities, not those
    // of its sub-portfolios.
    m_rename->setEnabled(top);
    m_remove->setEnabled(top);
    m_undo->setEnabled(!m_strUndoable.isEmpty());
    m_undo->setText(m_strUndoable.isEmpty() ? tr("&Undo") : tr("&Undo %1").arg(m_strUndoable));
}

void CPortfolioWindow::OnExport() {
    const ListedSecurity* s = Selected();
    if (s == nullptr) return;
    const QString path = m_saveFileName(QDir(m_dir).filePath(Text(s->entry.symbol) + ".csv"));
    if (path.isEmpty()) return;
    QSaveFile out(path);
    QString text;
    for (int c = 0; c < m_recordsModel->columnCount({}); ++c)
        text += (c > 0 ? "," : "") + m_recordsModel->Label(c);
    text += '\n';
    for (int r = m_recordsModel->rowCount({}) - 1; r >= 0; --r) {
        for (int c = 0; c < m_recordsModel->columnCount({}); ++c)
            text += (c > 0 ? "," : "") + m_recordsModel->index(r, c).data().toString();
        text += '\n';
    }
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit()) {
        m_app.prompt().MessageBox(
            "Cannot write to " + path.toStdString() + ": " + out.errorString().toStdString(), kMbOk);
        return;
    }
    statusBar()->showMessage(tr("Exported %1 to %2").arg(Text(s->entry.symbol), path), 5000);
}

void CPortfolioWindow::OnRename() {
    const ListedSecurity* s = Selected();
    if (s == nullptr || !m_rename->isEnabled()) return;
    const std::string symbol = s->entry.symbol;
    QString newSymbol = Text(symbol), newName = Text(s->entry.name);
    if (!m_editSymbol(&newSymbol, &newName)) return;
    CPortfolio::Entry old;
    if (RenameSecurity(m_app.platform(), m_app.prompt(), m_dir.toStdString(), symbol, newSymbol.toStdString(),
                       newName.toStdString(), 0, &old) == 0) {
        Reload();
        SelectSymbol(newSymbol);
    }
}

void CPortfolioWindow::OnRemove() {
    const ListedSecurity* s = Selected();
    if (s == nullptr || !m_remove->isEnabled()) return;
    const std::string symbol = s->entry.symbol;
    if (m_app.prompt().MessageBox("Remove " + symbol + " (" + s->entry.name + ") from " +
                                      m_dir.toStdString() +
                                      "? Its price records go with it; Edit > Undo brings them back.",
                                  kMbYesNo) != kIdYes) {
        return;
    }
    std::vector<CPortfolio::Entry> removed;
    if (RemoveSecurities(m_app.platform(), m_app.prompt(), m_dir.toStdString(), {symbol}, 0, &removed) == 0)
        Reload();
}

void CPortfolioWindow::OnCheck() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PortfolioCheck check = CheckPortfolioFiles(m_app.platform(), m_dir.toStdString());
    QApplication::restoreOverrideCursor();
    auto count = [](int n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = m_dir.toStdString() + ": " + count(check.securities, "security", "securities") +
                       " checked; " + count(check.Problems(), "problem", "problems") + ", " +
                       count(check.Warnings(), "warning", "warnings") + ".";
    for (const PortfolioFinding& f : check.findings)
        text += "\n" + f.file + ": " + (f.warning ? "warning: " : "") + f.text;
    m_app.prompt().MessageBox(text, check.Problems() == 0 ? kMbIconInformation : kMbOk);
}

void CPortfolioWindow::OnUndo() {
    std::string what;
    if (UndoLastChange(m_app.platform(), m_app.prompt(), m_dir.toStdString(), 0, &what) == 0) {
        statusBar()->showMessage(tr("Undone: %1").arg(Text(what)), 5000);
    }
    Reload();
}

}  // namespace tarvel
