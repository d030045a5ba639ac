// The batch window: several files (and the price files of folders) opened or
// dropped at once, one row each with what reading it found, converted into
// one portfolio by one run of the engine's batch, as tarvel-cli convert
// converts them, with a progress bar and a Cancel that stops between files.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch.h"

namespace tarvel {

class CTarvelApp;

class CBatchWindow : public QDialog {
public:
    enum Column { kFile, kSymbol, kName, kRows, kFirst, kLast, kProblem, kColumns };

    CBatchWindow(CTarvelApp& app, QWidget* parent = nullptr);
    ~CBatchWindow() override;

    // Lists the files of `inputs` (files, and folders standing for their
    // .csv, .txt, .tsv and .prn files; names as the system has them),
    // reading each as the batch will. False after a message when a folder
    // cannot be read or holds no such file.
    bool SetInputs(const std::vector<std::string>& inputs);
    // Starts the batch; it runs on a thread of its own until finished().
    void Convert();
    // Asks a running batch to stop once the file it is on is read: the files
    // before it stay converted, it and the rest are not.
    void Stop();
    bool Running() const { return m_worker.joinable(); }

    QTableWidget* m_table;
    QLineEdit* m_folder;
    QCheckBox* m_update;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_convert;
    QPushButton* m_close;

    // Told that file `index` is next, before the batch goes on; tests stop
    // the batch there.
    std::function<void(int index)> m_onFileStarted;
    // Told the log's entry of a batch that has ended and the portfolio it
    // links to (none when nothing was converted); the main window appends
    // them to the log.
    std::function<void(const QString& entry, const QString& folder)> m_onFinished;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What reading `path` found, in its row.
    void ReadRow(int row, const std::string& path);
    void OnSymbolEdited(QTableWidgetItem* item);
    void OnBrowse();
    // Shows file `index` as the next, then lets the batch go on.
    void ShowNext(int row, int index, int total);
    void ShowMessage(const QString& file, const QString& text);
    void ShowConverted(const QString& file, long records, long leftOut);
    void Finish(const BatchTotals& totals);
    int RowOf(const QString& file) const;
    void EnableControls();

    class CEvents;
    CTarvelApp& m_app;
    std::vector<std::string> m_paths;     // the rows' files
    std::vector<std::string> m_detected;  // the symbol each row had when read
    QStringList m_messages;               // of the last run, for the log
    std::thread m_worker;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::condition_variable m_answered;
    int m_nShown = -1;  // the last file whose start the window has shown
    bool m_bClosing = false;
};

}  // namespace tarvel
