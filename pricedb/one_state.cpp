#include "pricedb/one_state.h"

#include <chrono>
#include <optional>
#include <thread>

#include "platform/file_util.h"
#include "pricedb/extended_masters.h"
#include "pricedb/journal.h"
#include "pricedb/layout.h"

namespace tarvel {
namespace {

// The bytes of the directory files, each after its name, or nothing while a
// journal is there.
std::optional<std::string> Stamp(CPlatform& platform, const std::string& directory) {
    // Only a regular file can be a journal; anything else of its name is
    // no commit under way.
    if (platform.Examine(JoinPath(directory, kJournalName)).regular) return std::nullopt;
    std::string stamp;
    for (const char* name : {kMasterName, kEMasterName, kXMasterName}) {
        Bytes bytes;
        std::optional<std::string> found = platform.FindName(directory, name);
        if (found) ReadFileBytes(platform, JoinPath(directory, *found), &bytes);
        stamp.append(name).append(1, '\0').append(bytes.begin(), bytes.end()).append(1, '\0');
    }
    return stamp;
}

}  // namespace

bool ReadOneState(CPlatform& platform, const std::string& directory, const std::function<void()>& read,
                  int maxWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    for (;;) {
        std::optional<std::string> before = Stamp(platform, directory);
        read();
        if (before && before == Stamp(platform, directory)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace tarvel
