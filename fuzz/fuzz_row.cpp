// One input line through the field split and the number reading.
#include <cmath>
#include <string>

#include "convert/row_reader.h"
#include "fuzz/fuzz_support.h"
#include "pricedb/stored_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char kDelimiters[] = {',', '\t', ' ', ';', '|'};
    char delimiter = kDelimiters[data[0] % 5];
    std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
    tarvel::CFieldSplitter fields;
    int count = fields.Split(line, delimiter, 20);
    tarvel::fuzz::Require(count >= 0 && count <= 20, "field count");
    for (int i = 0; i < count; ++i) {
        std::string_view field = fields[i];
        tarvel::fuzz::Require(field.size() <= line.size(), "a field longer than its line");
        float value = 0.0f;
        if (!tarvel::ReadNumber(field, &value)) continue;
        tarvel::fuzz::Require(!std::isnan(value), "a number read as NaN");
        tarvel::StoredNumber stored = tarvel::EncodeStoredNumber(value);
        tarvel::fuzz::Require(stored[3] == 0 || stored[3] >= 3, "exponent byte below 3");
        float back = tarvel::DecodeStoredNumber(stored);
        tarvel::fuzz::Require(std::isfinite(back), "stored number decodes to infinity");
        if (std::isfinite(value) && std::fabs(value) >= 1.2e-38f && std::fabs(value) < 1e38f) {
            tarvel::fuzz::Require(back == value, "stored number round trip");
        }
    }
    return 0;
}
