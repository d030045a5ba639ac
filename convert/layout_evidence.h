// Whether the rows of a file bear out the layout detection found for them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/detect.h"

namespace tarvel {

// Why the rows do not bear out `layout`, its columns found by `named`
// header names or else by their place; empty when they do. A layout is
// taken only when the rows agree with it: the dates run in one order (per
// ticker), no volume or open interest is negative, the low is the lowest
// and the high the highest price on nearly every row, columns placed by
// their order alone hold what that place means, and the rows have no more
// fields than the header names.
// `rows` are the fields of the lines read, `data` the lines that are rows.
std::string LayoutDoubt(const CDetectedLayout& layout, const std::vector<std::vector<std::string>>& rows,
                        const std::vector<std::size_t>& data, bool named, std::size_t headerFields);

}  // namespace tarvel
