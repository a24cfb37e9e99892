// Checks the files of a command line and reports them in one format.
#pragma once

#include <string>
#include <string_view>

#include "cli/options.h"
#include "cli/output.h"

namespace corvala::cli {

enum ExitStatus : int { kAllClean = 0, kErrorsFound = 1, kTrouble = 2 };

// Runs the engine over every FILE of `options` in order, each streamed in
// memory that does not grow with it, writing the report to `out` and the
// messages about files that cannot be checked to `err`. `color` colours the
// log's markers; `terminal` (standard output is one) escapes control bytes.
// Returns the exit status.
int CheckFiles(const Options& options, bool color, bool terminal, Output& out, Output& err);

// Whether a file with these counts makes the exit status 1 under --fail-on.
bool Fails(const RunEnd& end, Severity failOn);

// "corvala-check: " and `text`, its control bytes escaped, as one line on
// `err`, after what `out` holds so far (so that the two keep their order on
// a terminal).
void SayOnError(Output& out, Output& err, std::string_view text);

}  // namespace corvala::cli
