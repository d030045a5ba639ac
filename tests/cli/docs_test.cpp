// The man pages and examples/README.md against the programs they describe:
// a new option of a program fails here until its man page describes it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/cli_runner.h"

namespace tarvel {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A man page's text with groff's "\-" read as "-".
std::string ManPage(const char* name) {
    std::string text = ReadText(std::string(TARVEL_SOURCE_DIR "/docs/man/") + name);
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
        text.erase(at, 1);
    return text;
}

// Every option ("-h", "--date-col") that `text` names; a hyphen inside a word
// ("tarvel-cli", "tab-separated") is no option.
std::set<std::string> OptionsNamed(const std::string& text) {
    static const std::regex kOption("(^|[^A-Za-z0-9_-])(--[a-z][a-z-]*[a-z]|-[a-z])(?![A-Za-z0-9_-])");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kOption); it != std::sregex_iterator();
         ++it) {
        options.insert((*it)[2]);
    }
    return options;
}

// The names listed under `heading` ("Subcommands:", "Positionals:") of a
// CLI11 help text: the first word of each line indented by two spaces.
std::vector<std::string> Listed(const std::string& help, const std::string& heading) {
    std::vector<std::string> names;
    std::istringstream lines(help.substr(std::min(help.size(), help.find(heading + "\n"))));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line) && line.rfind("  ", 0) == 0) {
        if (line[2] != ' ') names.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return names;
}

std::string Joined(const std::set<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += n + " ";
    return text;
}

TEST(ManPages, TarvelCliDescribesEverySubcommandAndOptionItsHelpPrints) {
    const std::string man = ManPage("tarvel-cli.1");
    test::Outcome top = test::Cli({"--help"});
    ASSERT_EQ(top.status, 0);
    std::set<std::string> printed = OptionsNamed(top.out);
    std::vector<std::string> subcommands = Listed(top.out, "Subcommands:");
    ASSERT_EQ(subcommands, (std::vector<std::string>{"convert", "inspect", "list", "check", "export",
                                                     "remove", "rename", "undo"}));
    for (const std::string& sub : subcommands) {
        SCOPED_TRACE(sub);
        EXPECT_NE(man.find(".B tarvel-cli " + sub + "\n"), std::string::npos) << "no synopsis line";
        test::Outcome help = test::Cli({sub, "--help"});
        ASSERT_EQ(help.status, 0);
        if (OptionsNamed(help.out) != std::set<std::string>{"-h", "--help"}) {
            EXPECT_NE(man.find(".SS " + sub + "\n"), std::string::npos) << "no section for its options";
        }
        for (const std::string& positional : Listed(help.out, "Positionals:")) {
            EXPECT_TRUE(std::regex_search(man, std::regex("\\b" + positional + "\\b"))) << positional;
        }
        for (const std::string& option : OptionsNamed(help.out)) {
            EXPECT_TRUE(OptionsNamed(man).count(option)) << option << " is in --help but not in tarvel-cli.1";
            printed.insert(option);
        }
    }
    // And nothing the programs no longer take.
    for (const std::string& option : OptionsNamed(man)) {
        EXPECT_TRUE(printed.count(option))
            << option << " is in tarvel-cli.1 but in no --help: " << Joined(printed);
    }
}

TEST(ManPages, TarvelDescribesEveryOptionItsHelpPrints) {
#ifdef _WIN32
    GTEST_SKIP() << "tarvel.exe is a windowed program: Windows shows its --help in a message box, not on "
                    "standard output";
#endif
    std::FILE* pipe = ::popen("'" TARVEL_GUI_PATH "' --help", "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) help.append(buffer, n);
    ASSERT_EQ(::pclose(pipe), 0) << help;
    const std::set<std::string> printed = OptionsNamed(help);
    EXPECT_TRUE(printed.count("--version")) << help;
    const std::set<std::string> described = OptionsNamed(ManPage("tarvel.1"));
    for (const std::string& option : printed)
        EXPECT_TRUE(described.count(option)) << option << " not in tarvel.1";
}

}  // namespace
}  // namespace tarvel
