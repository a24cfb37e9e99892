// Turning the 8-bit texts of an airspace file into valid UTF-8 for JSON.
#pragma once

#include <string>
#include <string_view>

namespace corvala::cli {

// Keeps every well-formed UTF-8 sequence (no overlong forms, no surrogates,
// nothing above U+10FFFF) as it is, and decodes every other byte as the
// ISO-8859-1 character of the same value, U+0080 to U+00FF. The result is
// always valid UTF-8.
std::string DecodeForJson(std::string_view bytes);

}  // namespace corvala::cli
