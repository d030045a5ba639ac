// The portfolio window: the securities of a portfolio folder in a table
// that sorts and filters, and the one chosen as a chart and as a table of
// its records; Export..., Rename..., Remove, Check Portfolio and Undo.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <functional>
#include <vector>

#include "pricedb/find_security.h"
#include "shell/price_chart.h"

namespace tarvel {

class CTarvelApp;
class CRecordsModel;

class CPortfolioWindow : public QMainWindow {
public:
    explicit CPortfolioWindow(CTarvelApp& app, QWidget* parent = nullptr);
    ~CPortfolioWindow() override;

    // Shows the portfolio in `dir`. False after a message when it has no
    // MASTER or cannot be read.
    bool OpenPortfolio(const QString& dir);
    const QString& Directory() const { return m_dir; }

    // Chooses the security of `symbol` in the table; false when none has it.
    bool SelectSymbol(const QString& symbol);
    // The symbol of the security chosen; empty when none is.
    QString SelectedSymbol() const;

    void OnExport();
    void OnRename();
    void OnRemove();
    void OnCheck();
    void OnUndo();

    QTableView* Securities() const { return m_securities; }
    QTableView* Records() const { return m_records; }
    QSortFilterProxyModel* SecurityRows() const { return m_proxy; }
    CPriceChart* Chart() const { return m_chart; }
    QLineEdit* Filter() const { return m_filter; }
    QComboBox* ChartStyle() const { return m_style; }
    QAction* UndoAction() const { return m_undo; }

    // Asked for the file Export... writes; QFileDialog by default.
    std::function<QString(const QString& suggested)> m_saveFileName;
    // Asked for a new symbol and name; false when cancelled. A dialog by default.
    std::function<bool(QString* symbol, QString* name)> m_editSymbol;

private:
    void Reload();
    void ShowSecurity(const ListedSecurity* security);
    void UpdateActions();
    const ListedSecurity* Selected() const;

    CTarvelApp& m_app;
    QString m_dir;
    QString m_strUndoable;  // what Edit > Undo undoes, as the last reload found it
    std::vector<ListedSecurity> m_listed;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_proxy;
    CRecordsModel* m_recordsModel;
    QTableView* m_securities;
    QTableView* m_records;
    CPriceChart* m_chart;
    QLineEdit* m_filter;
    QComboBox* m_style;
    QAction* m_undo;
    QAction* m_export;
    QAction* m_rename;
    QAction* m_remove;
};

}  // namespace tarvel
