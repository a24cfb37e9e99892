#include "engine/values/pattern.h"

#include <array>

#include "engine/model/failures.h"

namespace corvala {

namespace {

constexpr bool IsEscapable(char c) noexcept { return c == '\\' || c == 'c' || c == 's'; }

// A character field's text: every possible byte, so that a field can view it.
constexpr auto kCharacters = [] {
    std::array<char, 256> all{};
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<char>(i);
    return all;
}();

}  // namespace

PatternCheck ScanFields(std::string_view data, std::string_view pattern, FieldList& list, bool trim) {
    list.clear();
    const std::size_t n = data.size();
    const std::size_t m = pattern.size();
    // Positions at and past the end of the data read as the end mark, NUL.
    auto at = [&](std::size_t i) noexcept { return i < n ? data[i] : '\0'; };
    auto put = [&](std::string_view field) { list.push_back(field); };
    // String fields are trimmed when asked; character fields never are.
    auto append = [&](std::string_view field) { put(trim ? TrimText(field) : field); };

    std::size_t p = 0;  // pattern position (0-based)
    std::size_t d = 0;  // data position (0-based); may run past the end
    while (p < m) {
        const char item = pattern[p];
        if (item == '\\') {
            ++p;
            if (p >= m || !IsEscapable(pattern[p])) return PatternCheck::BadEscape;
            if (pattern[p] != at(d)) return PatternCheck::EscapedMismatch;
            ++p;
            ++d;
        } else if (item == 'c') {
            put(std::string_view(&kCharacters[static_cast<unsigned char>(at(d))], 1));
            ++p;
            ++d;
        } else if (item == 's' && p + 1 < m) {
            // The literal that ends the field: the next pattern character,
            // possibly written as an escape.
            ++p;
            char literal = pattern[p];
            if (literal == '\\') {
                ++p;
                if (p >= m || !IsEscapable(pattern[p])) return PatternCheck::BadEscapedLiteral;
                literal = pattern[p];
            } else if (literal == 'c' || literal == 's') {
                return PatternCheck::FieldAfterField;
            }
            // The literal is searched for, not compared: the field takes in
            // everything up to its first occurrence.
            // Fields are short: a plain loop beats a library call here.
            std::size_t k = d;
            while (k < n && data[k] != literal) ++k;
            if (k >= n) return PatternCheck::LiteralNotFound;
            append(data.substr(d, k - d));
            ++p;
            d = k + 1;
        } else if (item == 's') {
            // A final string field takes the rest of the data.
            append(d < n ? data.substr(d) : std::string_view());
            ++p;
            d = n;
        } else {
            if (item != at(d)) return PatternCheck::LiteralMismatch;
            ++p;
            ++d;
        }
    }
    if (d < n) return PatternCheck::DataLeftOver;
    return PatternCheck::Matched;
}

std::string PatternMismatchMessage(PatternCheck check) {
    return "Assertion failure (Unit1, line " + std::to_string(static_cast<int>(check)) + ")";
}

PatternCheck ScanFields(std::string_view data, std::string_view pattern, StringList& list, bool trim) {
    FieldList fields;
    const PatternCheck check = ScanFields(data, pattern, fields, trim);
    list.assign(fields.begin(), fields.end());
    return check;
}

void MatchPattern(std::string_view data, std::string_view pattern, FieldList& list, bool trim) {
    const PatternCheck check = ScanFields(data, pattern, list, trim);
    if (check != PatternCheck::Matched) throw PatternMismatch(PatternMismatchMessage(check));
}

void MatchPattern(std::string_view data, std::string_view pattern, StringList& list, bool trim) {
    const PatternCheck check = ScanFields(data, pattern, list, trim);
    if (check != PatternCheck::Matched) throw PatternMismatch(PatternMismatchMessage(check));
}

}  // namespace corvala
