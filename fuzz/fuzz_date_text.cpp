// ParseDateText under every format number from -1 to 13: never reads outside
// the text, and every date it returns names a real day that reads back.
#include <string>

#include "convert/date_text.h"
#include "fuzz/fuzz_support.h"
#include "pricedb/stored_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so any read past the text is a heap overflow.
    std::string text(reinterpret_cast<const char*>(data), size);
    auto* exact = new char[size];
    std::copy(text.begin(), text.end(), exact);
    for (int format = -1; format <= 13; ++format) {
        std::uint16_t n = tarvel::ParseDateText(std::string_view(exact, size), format);
        if (format < 1 || format > 12) tarvel::fuzz::Require(n == 0, "date outside formats 1..12");
        if (n == 0) continue;
        tarvel::SplitDate d = tarvel::SplitDateNumber(n);
        tarvel::fuzz::Require(d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31, "split date out of range");
        tarvel::fuzz::Require(tarvel::MakeDateNumber(d.year, d.month, d.day) == n, "date number round trip");
    }
    delete[] exact;
    return 0;
}
