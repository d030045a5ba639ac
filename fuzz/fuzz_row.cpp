// One input row through the column split and the field reading.
#include <cmath>
#include <string>

#include "convert/row_reader.h"
#include "fuzz/fuzz_support.h"
#include "pricedb/stored_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char kDelimiters[] = {',', '\t', ' ', '\0'};
    char delimiter = kDelimiters[data[0] % 4];
    std::string_view row(reinterpret_cast<const char*>(data + 1), std::min<std::size_t>(size - 1, 299));
    tarvel::CTokenTable tokens;
    int columns = tarvel::SplitColumns(tarvel::LineText(row), delimiter, tokens);
    tarvel::fuzz::Require(columns >= 0 && columns <= tarvel::CTokenTable::kSize, "column count");
    for (int i = 0; i < tarvel::CTokenTable::kSize; ++i) {
        std::string_view token = tokens[i];
        tarvel::fuzz::Require(i >= columns || (!token.empty() && token.find(delimiter) == std::string_view::npos),
                              "column holds its delimiter");
        float value = tarvel::ReadLeadingNumber(token);
        tarvel::fuzz::Require(!std::isnan(value), "a number read as NaN");
        tarvel::StoredNumber stored = tarvel::EncodeStoredNumber(value);
        float back = tarvel::DecodeStoredNumber(stored);
        tarvel::fuzz::Require(std::isfinite(back), "stored number decodes to infinity");
        if (std::isfinite(value) && std::fabs(value) >= 1e-37f && std::fabs(value) < 1e38f) {
            tarvel::fuzz::Require(back == value, "stored number round trip");
        }
    }
    return 0;
}
