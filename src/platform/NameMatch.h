// Name comparisons the way Windows makes them: ASCII letters without regard
// to case, and "*" and "?" as wildcards in a search pattern.
#pragma once

#include <string>
#include <string_view>

namespace wedmorph {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
// `name` with its ASCII capitals made small: names that are equal ignoring
// case fold to the same text.
std::string foldedAscii(std::string_view name);

bool hasWildcard(std::string_view name);

// "*" matches any run of characters (none included), "?" any one character;
// letters match without regard to ASCII case.
bool matchesWildcardIgnoringCase(std::string_view pattern, std::string_view name);

}  // namespace wedmorph
