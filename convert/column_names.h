// What the names of a header say of their columns: "Close*", "Schlusskurs",
// "Shares Traded" and "Adj Close" as detection reads them.
#pragma once

#include <string>
#include <string_view>

#include "convert/converter.h"

namespace tarvel {

// The role of a named column: a field (kDate..kOpenInt), or one of these.
enum ColumnRole { kRoleUnknown = -1, kRoleTime = kFieldCount, kRoleTicker, kRolePeriod, kRoleIgnored };

// A header name, lower case, without brackets, dots, blanks, underscores,
// dashes and the stars of footnote marks ("Close*", "Adj Close**").
std::string NormalName(std::string_view name);

// The role a header name gives its column; *rank orders the names of the
// close (and of the volume) from the best.
int RoleOf(std::string_view name, int* rank);

}  // namespace tarvel
