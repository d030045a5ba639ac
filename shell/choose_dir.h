// "Choose Directory": the user picks the output directory; a directory that
// does not exist is created, one level, after a question. Folders that hold
// a portfolio (a MASTER) are marked; Enter in the list opens the folder
// selected, OK takes the one named.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QFileIconProvider>
#include <QLineEdit>
#include <QListWidget>

#include "platform/platform.h"
#include "platform/prompt.h"

namespace tarvel {

class CChooseDir : public QDialog {
public:
    // Starts in `start`, or in the current directory when `start` is empty or
    // names no directory.
    CChooseDir(CPrompt& prompt, CPlatform& platform, const QString& start, QWidget* parent = nullptr);

    // Puts `folders` (the portfolios used lately) in the places list, after
    // the root, the home folder and the mounted volumes.
    void AddPlaces(const QStringList& folders);
    // Whether list entry `row` is a folder that holds a MASTER.
    bool HoldsPortfolio(int row) const;

    // The checks of OK; true accepts. Leaves the chosen directory in m_strDir,
    // a relative one resolved against the listed directory.
    bool OnFileNameOK();
    // Makes `path` the listed directory: its levels from the root down, then
    // its sub-directories; the directory's own entry is selected.
    void SetListedDirectory(const QString& path);
    // The directory text for list entry `row`.
    QString DirectoryText(int row) const;
    const QString& listedDirectory() const { return m_current; }
    int levelCount() const { return m_levels; }

    QString m_strDir;
    int m_bFirstPaint = 0;
    QLineEdit* m_editDir;
    QListWidget* m_list;
    QComboBox* m_drives;

    void accept() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnLBSelChangedNotify();

    CPrompt& m_prompt;
    CPlatform& m_platform;
    QString m_current;
    int m_levels = 0;
    bool m_bQuietSelection = false;
    QFileIconProvider m_icons;
};

}  // namespace tarvel
