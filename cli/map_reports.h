// The map formats of corvala-check: one GeoJSON FeatureCollection (RFC 7946)
// or one KML 2.2 document for all FILEs of a command line, written by the
// engine's map writer (engine/present/map_writer.h) to standard output.
#pragma once

#include <memory>

#include "cli/reports.h"

namespace corvala::cli {

std::unique_ptr<Report> MakeGeoJsonReport(Output& out, const ReportStyle& style);
std::unique_ptr<Report> MakeKmlReport(Output& out, const ReportStyle& style);

}  // namespace corvala::cli
