#include "engine/pattern.h"

#include "engine/failures.h"

// g++ 12 warns falsely about std::string::assign overlapping itself.
#pragma GCC diagnostic ignored "-Wrestrict"

namespace corvala {

namespace {

constexpr bool IsEscapable(char c) noexcept { return c == '\\' || c == 'c' || c == 's'; }

} // namespace

PatternCheck MatchFields(std::string_view data, std::string_view pattern, StringList& list, bool trim) {
    // The list's strings are reused from call to call: assigning a short field
    // into an existing string costs no allocation.
    std::size_t count = 0;
    const std::size_t n = data.size();
    const std::size_t m = pattern.size();
    // Positions at and past the end of the data read as the end mark, NUL.
    auto at = [&](std::size_t i) noexcept { return i < n ? data[i] : '\0'; };
    auto put = [&](std::string_view field) {
        if (count < list.size()) {
            list[count].assign(field);
        } else {
            list.emplace_back(field);
        }
        ++count;
    };
    // On every way out the list holds exactly the fields taken so far.
    struct Truncate {
        StringList& list;
        std::size_t& count;
        ~Truncate() { list.resize(count); }
    } truncate{list, count};
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
            const char field = at(d);
            put(std::string_view(&field, 1));
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

void MatchPattern(std::string_view data, std::string_view pattern, StringList& list, bool trim) {
    const PatternCheck check = MatchFields(data, pattern, list, trim);
    if (check != PatternCheck::Matched) throw PatternMismatch(PatternMismatchMessage(check));
}

} // namespace corvala
