// ReadDateText under every format number from -1 to 13: never reads outside
// the text, and every date it reads is a storable day.
#include <string>

#include "convert/date_text.h"
#include "fuzz/fuzz_support.h"
#include "pricedb/stored_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so any read past the text is a heap overflow.
    auto* exact = new char[size];
    std::copy(data, data + size, exact);
    for (int format = -1; format <= 13; ++format) {
        tarvel::CalendarDate date;
        tarvel::DateStatus status = tarvel::ReadDateText(std::string_view(exact, size), format, &date);
        if (format < 1 || format > 12)
            tarvel::fuzz::Require(status != tarvel::DateStatus::kRead, "date outside formats 1..12");
        if (status != tarvel::DateStatus::kRead) continue;
        tarvel::fuzz::Require(tarvel::IsStorableDay(date), "a date read that is no storable day");
    }
    delete[] exact;
    return 0;
}
