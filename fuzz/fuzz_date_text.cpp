// ReadDateText under every format number from -1 to one past the last: never
// reads outside the text, and every date it reads is a storable day. So do
// the month-name and epoch readers behind it.
#include <string>

#include "convert/date_text.h"
#include "fuzz/fuzz_support.h"
#include "pricedb/stored_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so any read past the text is a heap overflow.
    auto* exact = new char[size];
    std::copy(data, data + size, exact);
    for (int format = -1; format <= tarvel::kDateFormatCount + 1; ++format) {
        tarvel::CalendarDate date;
        tarvel::DateStatus status = tarvel::ReadDateText(std::string_view(exact, size), format, &date);
        if (format < 1 || format > tarvel::kDateFormatCount)
            tarvel::fuzz::Require(status != tarvel::DateStatus::kRead, "date outside the formats");
        if (status != tarvel::DateStatus::kRead) continue;
        tarvel::fuzz::Require(tarvel::IsStorableDay(date), "a date read that is no storable day");
    }
    tarvel::MonthOfName(std::string_view(exact, size));
    tarvel::FindDateFormatSpelling(std::string_view(exact, size));
    delete[] exact;
    return 0;
}
