// The map formats of corvala-check: one GeoJSON FeatureCollection (RFC 7946)
// or one KML 2.2 document for all FILEs of a command line, a feature per
// airspace block with its shape (engine/present/shapes.h), limits and findings,
// written as the blocks end so that memory grows with the largest block,
// not with the file.
#pragma once

#include <memory>

#include "cli/reports.h"

namespace corvala::cli {

std::unique_ptr<Report> MakeGeoJsonReport(Output& out, const ReportStyle& style);
std::unique_ptr<Report> MakeKmlReport(Output& out, const ReportStyle& style);

// A coordinate in decimal degrees with 7 decimals, as both formats write
// it ("-0.0000000" written as "0.0000000").
std::string Degrees(double value);

}  // namespace corvala::cli
