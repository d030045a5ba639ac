#include "shell/qt_prompt.h"

#include <QApplication>
#include <QMessageBox>

namespace tarvel {

int CQtPrompt::MessageBox(const std::string& text, int type) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Tarvel"));
    box.setText(QString::fromStdString(text));
    if (type & kMbIconInformation) box.setIcon(QMessageBox::Information);
    if ((type & 0xF) == kMbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? kIdYes : kIdNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return kIdOk;
}

}  // namespace tarvel
