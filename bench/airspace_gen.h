// A generator of large airspace files with the command mix of real national
// files: blocks of header records (AC, AN, AL, AH, now and then the type,
// frequency and call-sign records AY, AF, AG that have no check), mostly DP
// polygons, some circles and arcs (V X=, V D=, DC, DB), comments and blank
// lines. About one line in a hundred fails a check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvala::bench {

// Exactly `lines` lines, each ended by LF (CR LF when `crlf`), the same text
// for the same seed.
std::string GenerateAirspace(std::size_t lines, std::uint32_t seed = 1, bool crlf = false);

}  // namespace corvala::bench
