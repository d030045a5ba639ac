#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "shell/qt_prompt.h"
#include "shell/tarvel_app.h"

int main(int argc, char** argv) {
    // QApplication takes its own options (-platform, -style, ...) out of argv.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvel"));
    QApplication::setOrganizationName(QStringLiteral("Hollark Software"));
    QApplication::setApplicationVersion(QStringLiteral(TARVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts daily price data in delimited text files into a MetaStock price database."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The delimited text file to open once the window is up."));
    parser.process(application);  // ends the program for --help, --version and unknown options
    if (parser.positionalArguments().size() > 1) {
        std::fputs("tarvel: give at most one FILE; see tarvel --help\n", stderr);
        return 2;
    }
    // The file's name from argv itself: decoding it into a QString would lose
    // bytes that are not UTF-8.
    QByteArrayList files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        QByteArray argument(argv[i]);
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (optionsEnded || !argument.startsWith('-')) {
            files << argument;
        }
    }

    std::unique_ptr<tarvel::CPlatform> platform = tarvel::MakePosixPlatform();
    tarvel::CQtPrompt prompt;
    tarvel::CTarvelApp app(*platform, prompt);
    if (!app.InitInstance(files)) return 1;
    return app.ExitInstance(QApplication::exec());
}
