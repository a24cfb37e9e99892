// Every rule by the name of its row in engine/model/rules.def: what a
// finding carries. The rest of the row (the id text, the severities, the
// summary) is read from the rule table, engine/model/rules.h.
#pragma once

#include <cstdint>

namespace corvala {

enum class RuleId : std::uint8_t {
#define RULE(name, id, family, needs, classic, classicFile, extendedFile, summary) name,
#include "engine/model/rules.def"
#undef RULE
};

}  // namespace corvala
