#include <QApplication>

#include "shell/qt_prompt.h"
#include "shell/tarvel_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvel"));
    QApplication::setOrganizationName(QStringLiteral("Hollark Software"));
    std::unique_ptr<tarvel::CPlatform> platform = tarvel::MakePosixPlatform();
    tarvel::CQtPrompt prompt;
    tarvel::CTarvelApp app(*platform, prompt);
    if (!app.InitInstance(QApplication::arguments().mid(1))) return 1;
    return app.ExitInstance(QApplication::exec());
}
