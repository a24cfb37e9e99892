// Every rule by the name of its row in engine/model/rules.def: what a
// finding carries. The rest of the row (the id text, the severities, the
// summary) is read from the rule table, engine/model/rules.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvala {

enum class RuleId : std::uint8_t {
#define RULE(name, id, family, needs, classic, classicFile, extendedFile, summary) name,
#include "engine/model/rules.def"
#undef RULE
};

inline constexpr std::size_t kRuleCount = 0
#define RULE(name, id, family, needs, classic, classicFile, extendedFile, summary) +1
#include "engine/model/rules.def"
#undef RULE
    ;

}  // namespace corvala
