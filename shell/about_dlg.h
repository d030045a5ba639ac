// The About box: name, version, what the program does, the legal notice and
// the maker's two links, whose followed state lasts for the whole run.
#pragma once

#include <QDialog>

#include "shell/static_link.h"

namespace tarvel {

class CAboutDlg : public QDialog {
public:
    // `visitedMail` and `visitedWeb` are the application's followed flags.
    CAboutDlg(int* visitedMail, int* visitedWeb, QWidget* parent = nullptr);

    CStaticLink m_wndMailLink;
    CStaticLink m_wndWebLink;
    QString m_strLegal;
};

// The legal notice: a sentence, two line feeds, the MetaStock notice, two
// spaces and the CompuTrac notice.
QString LegalNotice();

}  // namespace tarvel
