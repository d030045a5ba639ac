#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <string_view>

#include "shell/qt_prompt.h"
#include "shell/tarvel_app.h"

namespace {

void DescribeCommandLine(QCoreApplication& application, QCommandLineParser& parser) {
    QCoreApplication::setApplicationName(QStringLiteral("Tarvel"));
    QCoreApplication::setOrganizationName(QStringLiteral("Hollark Software"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEL_VERSION));
    parser.setApplicationDescription(
        QStringLiteral("Converts daily price data in delimited text files into a MetaStock price database."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A delimited text file to open once the window is up. Several files, or folders "
                       "(standing for their .csv, .txt, .tsv and .prn files), open the batch window, which "
                       "converts them all into one portfolio."),
        QStringLiteral("[FILE|FOLDER...]"));
    parser.process(application);  // ends the program for --help, --version and unknown options
}

// Whether the command line asks only for help or the version, which need no
// display.
bool AsksForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view argument(argv[i]);
        if (argument == "--") return false;
        for (std::string_view option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (argument == option) return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AsksForText(argc, argv)) {
        QCoreApplication application(argc, argv);
        QCommandLineParser parser;
        DescribeCommandLine(application, parser);
        return 0;
    }
    // QApplication takes its own options (-platform, -style, ...) out of argv.
    QApplication application(argc, argv);
    QCommandLineParser parser;
    DescribeCommandLine(application, parser);
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

    std::unique_ptr<tarvel::CPlatform> platform = tarvel::MakeSystemPlatform();
    tarvel::CQtPrompt prompt;
    tarvel::CTarvelApp app(*platform, prompt);
    if (!app.InitInstance(files)) return 1;
    return app.ExitInstance(QApplication::exec());
}
