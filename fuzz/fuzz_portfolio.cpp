// A valid portfolio of two securities in MASTER and EMASTER and one in
// XMASTER whose MASTER, F1.DAT, EMASTER or XMASTER the fuzzer's bytes
// damage; then a conversion (a new security, or newer rows for the XMASTER
// one), `list`, `check` and `export`. None may crash, touch a file outside the
// portfolio, or change an earlier security's files, and undo must put back
// every byte a conversion changed.
//
// Input: one byte choosing what to damage (its low two bits: MASTER, F1.DAT,
// EMASTER, XMASTER; bit 3: F256.MWD, the price file an update appends to,
// instead; bit 2: update instead of adding; from 0x80 on the bytes are
// (offset, value) pairs written over the file, below it they replace it),
// then the bytes. An update that succeeds must read back as before plus the
// new row.
#include <QByteArray>
#include <QtGlobal>
#include <filesystem>
#include <sstream>

#include "cli/cli.h"
#include "convert/converter.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace tarvel;

int Convert(const std::string& input, const std::string& out, const std::string& symbol, bool newMaster,
            bool update = false) {
    auto platform = MakeSystemPlatform();
    test::CRecordingPrompt prompt;
    test::CRecordingSettings settings;
    CConverter job(*platform, prompt, settings);
    job.m_strPathIn = input;
    job.SetPathOut(out);
    job.SetSymbol(symbol);
    job.SetName(symbol);
    job.m_nDateFormat = 9;
    job.m_bUseExistingMaster = newMaster ? 0 : 1;
    job.m_nWaitSeconds = 0;
    job.m_bUpdate = update ? 1 : 0;
    for (int f = 0; f < kFieldCount; ++f) {
        job.m_bFieldOn[f] = 1;
        job.m_nFieldColumn[f] = f;
    }
    return job.Run();
}

// tarvel-cli's standard output, or "" when it fails.
std::string Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "tarvel-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    return RunCli(static_cast<int>(argv.size()), argv.data(), out, err) == 0 ? out.str() : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    fuzz::Reset();
    const std::string& dir = fuzz::ScratchDir();
    const std::string out = dir + "/pf", input = dir + "/in.txt", outside = dir + "/outside";
    qputenv("TARVEL_SETTINGS", QByteArray::fromStdString(dir + "/Tarvel.ini"));
    std::filesystem::create_directory(out);
    fuzz::Write(input, "010500,1,2,3,4,5,6\n010600,2,3,4,5,6,7\n");
    fuzz::Write(outside, "outside");
    fuzz::Require(Convert(input, out, "AAA", true) == 0 && Convert(input, out, "BBB", false) == 0, "setup");
    std::filesystem::remove(out + "/MASTER.BAK");
    fuzz::Write(out + "/F256.MWD", test::ReadFile(out + "/F1.DAT"));
    fuzz::Write(out + "/XMASTER",
                test::XMasterFile({test::XMasterRecord(256, "XXA", "XXA", 127, 20000105, 20000106)}, 257));
    const bool update = (data[0] & 4) != 0;
    if (update) fuzz::Write(input, "010500,1,2,3,4,5,6\n010700,3,4,5,6,7,8\n");

    static const char* const kTargets[] = {"/MASTER", "/F1.DAT", "/EMASTER", "/XMASTER"};
    const std::string target = (data[0] & 8) != 0 ? out + "/F256.MWD" : out + kTargets[data[0] & 3];
    std::string bytes = test::ReadFile(target);
    const std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] < 0x80) {
        bytes.assign(payload);
    } else {
        for (std::size_t i = 0; i + 1 < payload.size() && !bytes.empty(); i += 2) {
            bytes[static_cast<std::uint8_t>(payload[i]) % bytes.size()] = payload[i + 1];
        }
    }
    fuzz::Write(target, bytes);
    const std::map<std::string, std::string> before = test::Snapshot(out);
    const std::string exportedBefore = update ? Cli({"export", out, "XXA"}) : std::string();

    int result = Convert(input, out, update ? "XXA" : "NEW", false, update);
    Cli({"list", out});
    Cli({"check", out});
    Cli({"check", out, "--json"});
    Cli({"export", out, "AAA", "--output", dir + "/export.csv"});
    Cli({"export", out, "NEW"});
    // Damaged directory files may name the security otherwise (an update
    // finds it by symbol, export by symbol or name), so the read-back is
    // checked where only a price file was damaged.
    const bool directoryIntact = (data[0] & 8) != 0 || (data[0] & 3) == 1;
    if (update && result == 0 && directoryIntact && !exportedBefore.empty()) {
        fuzz::Require(Cli({"export", out, "XXA"}) == exportedBefore + "2000-01-07,3,4,5,6,7,8\n" ||
                          Cli({"export", out, "XXA"}) == exportedBefore,
                      "an update does not read back as the rows before and the new one");
    }

    std::map<std::string, std::string> after = test::Snapshot(out);
    for (const auto& [name, contents] : before) {
        const bool directoryFile = name == "MASTER" || name == "EMASTER" || name == "XMASTER" ||
                                   name == "MASTER.BAK" || name == "MASTER.~UR";
        if (result == 0 && (directoryFile || (update && name == "F256.MWD"))) continue;
        fuzz::Require(after.count(name) != 0 && after[name] == contents, "changed " + name);
    }
    for (const auto& [name, contents] : after) {
        fuzz::Require(before.count(name) != 0 || result == 0, "a failed conversion left " + name);
    }
    // Undo puts back every byte of what the conversion changed.
    if (result == 0) {
        fuzz::Require(!Cli({"undo", out}).empty(), "undo refused a conversion it recorded");
        auto withoutRecord = [](std::map<std::string, std::string> files) {
            files.erase("MASTER.~UR");
            return files;
        };
        fuzz::Require(withoutRecord(test::Snapshot(out)) == withoutRecord(before), "undo left a difference");
    }
    fuzz::Require(test::ReadFile(outside) == "outside", "touched a file outside the portfolio");
    for (const std::string& name : test::ListDir(dir)) {
        fuzz::Require(name == "pf" || name == "in.txt" || name == "outside" || name == "export.csv" ||
                          name == "Tarvel.ini",
                      "wrote " + name + " outside the portfolio");
    }
    return 0;
}
