// The documents of corvala-check: one JSON document, or one SARIF 2.1.0
// log, for all FILEs of a command line, written as the findings come so
// that memory does not grow with their number.
#pragma once

#include <memory>

#include "cli/reports.h"

namespace corvala::cli {

std::unique_ptr<Report> MakeJsonReport(Output& out, const ReportStyle& style);
std::unique_ptr<Report> MakeSarifReport(Output& out, const ReportStyle& style);

}  // namespace corvala::cli
