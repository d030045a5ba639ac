// tarvel-cli list, export and check over arbitrary MASTER, F1.DAT and F1.DOP
// files, then undo over an arbitrary undo record (the bytes of F1.DOP), and
// rename and remove: none may crash or hang.
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvel;
    if (size < 3) return 0;
    fuzz::Reset();
    const std::string& dir = fuzz::ScratchDir();
    std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    std::size_t masterSize = std::min<std::size_t>(bytes.size(), data[0] * 53u + data[1] % 53);
    fuzz::Write(dir + "/MASTER", bytes.substr(0, masterSize));
    std::string_view rest = bytes.substr(masterSize);
    fuzz::Write(dir + "/F1.DAT", rest.substr(0, rest.size() * 3 / 4));
    fuzz::Write(dir + "/F1.DOP", rest.substr(rest.size() * 3 / 4));
    fuzz::Write(dir + "/MASTER.~UR", rest.substr(rest.size() * 3 / 4));
    std::string symbol(bytes.substr(0, std::min<std::size_t>(bytes.size(), 3)));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"tarvel-cli", "list", dir},
          std::vector<std::string>{"tarvel-cli", "export", dir, symbol},
          std::vector<std::string>{"tarvel-cli", "check", dir},
          std::vector<std::string>{"tarvel-cli", "undo", dir},
          std::vector<std::string>{"tarvel-cli", "rename", dir, symbol, "--symbol", "NEW"},
          std::vector<std::string>{"tarvel-cli", "remove", dir, symbol}}) {
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        std::ostringstream out, err;
        int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
        fuzz::Require(status == 0 || status == 1 || status == 2, "exit status");
    }
    return 0;
}
