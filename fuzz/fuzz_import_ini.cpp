// ImportIni over arbitrary INI bytes, then reads of what it stored.
#include <QByteArray>
#include <QtGlobal>
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "settings/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvel;
    fuzz::Reset();
    const std::string& dir = fuzz::ScratchDir();
    qputenv("TARVEL_SETTINGS", QByteArray::fromStdString(dir + "/Tarvel.conf"));
    qputenv("TARVEL_LEGACY_INI_DIR", QByteArray::fromStdString(dir));
    fuzz::Write(dir + "/Tarvel.INI", std::string_view(reinterpret_cast<const char*>(data), size));
    CSettingsStore store;
    store.ImportIni();
    std::string text = store.GetString("Setting", "DateFormat", "MMDDYY");
    fuzz::Require(text.size() < 260, "value over the read limit");
    store.GetInt("Setting", "DateCol", 1);
    store.GetInt("Screen", "x", 0);
    return 0;
}
