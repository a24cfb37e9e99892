// corvala-check --fix and --diff: each FILE mended (engine/run/mend.h) and saved
// in place, or the change shown as a unified diff.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/output.h"

namespace corvala::cli {

struct FixResult {
    // The exit status so far: kTrouble when a FILE could not be mended or
    // saved; with --diff kErrorsFound when there is something to fix; for
    // standard input with --fix, what its remaining findings make it.
    int status = 0;
    // The FILEs saved or left as they were, to be checked and reported
    // now (--fix on files); those that failed are left out.
    std::vector<std::string> toReport;
};

// Mends every FILE of `options`. With --diff writes the diffs to `out`;
// with --fix on standard input writes its fixed text to `out`; on `err`,
// for each FILE, how many fixes were applied and how many findings remain,
// or why it could not be mended.
FixResult FixFiles(const Options& options, Output& out, Output& err);

}  // namespace corvala::cli
