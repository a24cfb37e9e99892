// Checks the files of a command line and reports them in one format.
#pragma once

#include <string>

#include "cli/options.h"
#include "cli/output.h"

namespace corvala::cli {

enum ExitStatus : int { kAllClean = 0, kErrorsFound = 1, kTrouble = 2 };

// Runs the engine over every FILE of `options` in order, writing the report
// to `out` and the messages about unreadable files to `err`. Returns the exit
// status.
int CheckFiles(const Options& options, bool color, Output& out, Output& err);

// All bytes of standard input; false (with the system's cause in `cause`)
// when reading fails.
bool ReadStandardInput(std::string& bytes, std::string& cause);

}  // namespace corvala::cli
