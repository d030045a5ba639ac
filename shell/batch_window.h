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
    // Asks a running batch to stop once the file it is reading is read: the
    // files before it stay converted, it and the rest are not.
    void Stop();
    bool Running() const { return m_worker.joinable(); }

    QTableWidget* m_table;
    QLineEdit* m_folder;
    QCheckBox* m_update;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_browse;
    QPushButton* m_convert;
    QPushButton* m_close;

    // Told that the file of `row` is read, before it is converted; tests
    // stop the batch there.
    std::function<void(int row)> m_onFileRead;
    // Told the log's entry of a batch that has ended and the portfolio it
    // links to (none when nothing was converted); the main window appends
    // them to the log.
    std::function<void(const QString& entry, const QString& folder)> m_onFinished;
    // Told once when a batch has ended, after m_onFinished.
    std::function<void()> m_onEnded;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The choices of this window's batch, over what each file says.
    JobChoices Choices() const;
    // What reading `path` found, in its row.
    void ReadRow(int row, const std::string& path, const CConversionSettings& saved);
    void OnSymbolEdited(QTableWidgetItem* item);
    void OnBrowse();
    // Shows the file of `row` as the one being read.
    void ShowReading(int row, int index, int total);
    // The file `index` (of `row`) is read: lets the batch go on.
    void AnswerRead(int row, int index);
    void ShowMessage(const std::string& file, const QString& text);
    void ShowConverted(const std::string& file, long records, long leftOut);
    void Finish(const BatchTotals& totals);
    int RowOf(const std::string& file) const;
    void EnableControls();

    class CEvents;
    CTarvelApp& m_app;
    std::vector<std::string> m_paths;     // the rows' files
    std::vector<std::string> m_detected;  // the symbol each row had when read
    QStringList m_messages;               // of the last run, for the log
    QString m_runFolder;                  // the portfolio of the last run
    std::thread m_worker;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::condition_variable m_answered;
    int m_nShown = -1;  // the last file whose start the window has shown
    bool m_bClosing = false;
};

}  // namespace tarvel
