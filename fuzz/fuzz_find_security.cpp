// FindSecurity and ListPortfolio over a tree whose MASTER files are the
// fuzzer's bytes: the top one, SUB/MASTER and SUB/DEEP/MASTER, with a link
// from SUB/LOOP back to the top.
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "pricedb/find_security.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvel;
    if (size < 2) return 0;
    fuzz::Reset();
    const std::string& dir = fuzz::ScratchDir();
    std::filesystem::create_directories(dir + "/SUB/DEEP");
    // A loop back to the top, where the system makes links (Wine does not).
    std::error_code noLinks;
    std::filesystem::create_directory_symlink(dir, dir + "/SUB/LOOP", noLinks);
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t third = bytes.size() / 3;
    fuzz::Write(dir + "/MASTER", bytes.substr(0, third));
    fuzz::Write(dir + "/SUB/MASTER", bytes.substr(third, third));
    fuzz::Write(dir + "/SUB/DEEP/MASTER", bytes.substr(2 * third));
    std::string symbol = std::string(bytes.substr(0, std::min<std::size_t>(data[0] % 17, bytes.size())));

    auto platform = MakeSystemPlatform();
    MasterRecordBytes record{};
    std::string recordDir;
    std::int16_t result = FindSecurity(*platform, dir, symbol, &record, &recordDir);
    fuzz::Require(result == kFindFound || result == kFindNotFound || result == kFindEndedEarly, "result");
    if (result == kFindFound) fuzz::Require(recordDir.rfind(dir, 0) == 0, "found outside the tree");
    for (const ListedSecurity& s : ListPortfolio(*platform, dir)) {
        fuzz::Require(s.directory.rfind(dir, 0) == 0, "listed outside the tree");
    }
    return 0;
}
