// Fuzz target: the map shapes of arbitrary bytes (engine/present/shapes.h), read
// with the classic rules and with the extended record set.
//
// Whatever the bytes, every area part is a closed ring of at least 4 points
// that does not run clockwise, every route part has at least 2 points, and
// every point lies on the earth with its longitude within [-180, 180].
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/present/shapes.h"
#include "engine/values/text.h"

namespace {

void Check(bool condition, const char* what, std::int32_t line) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_shapes invariant broken: %s (block at line %d)\n", what, line);
    std::abort();
}

void CheckBlock(const corvala::MapBlock& block) {
    using corvala::ShapeKind;
    const corvala::MapShape& shape = block.shape;
    const std::int32_t line = block.analysis.firstLine;
    Check((shape.kind == ShapeKind::None) == shape.parts.empty(), "parts without a kind", line);
    for (const auto& part : shape.parts) {
        for (const corvala::GeoPoint& p : part)
            Check(std::abs(p.latitude) <= 90 && std::abs(p.longitude) <= 180, "a point off the earth", line);
        if (shape.kind == ShapeKind::Route) {
            Check(part.size() >= 2, "a route of fewer than 2 points", line);
            continue;
        }
        Check(part.size() >= 4, "a ring of fewer than 4 points", line);
        Check(part.front() == part.back(), "a ring not closed", line);
        double twiceArea = 0, scale = 0;
        for (std::size_t i = 0; i + 1 < part.size(); ++i) {
            const double term = part[i].longitude * part[i + 1].latitude - part[i + 1].longitude * part[i].latitude;
            twiceArea += term;
            scale += std::abs(term);
        }
        Check(twiceArea >= -1e-9 * (scale + 1), "a clockwise ring", line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool initialized = [] {
        corvala::InitializeFloatingPoint();
        corvala::SetDecimalSeparator('.');
        return true;
    }();
    (void)initialized;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    for (const bool extended : {false, true}) {
        corvala::CheckSettings run;
        run.extended = extended;
        corvala::MapBlocks blocks(run);
        std::int32_t number = 0;
        std::size_t p = 0;
        while (p < bytes.size()) {
            const std::size_t start = p;
            while (p < bytes.size() && bytes[p] != '\r' && bytes[p] != '\n') ++p;
            if (blocks.Line(++number, bytes.substr(start, p - start))) CheckBlock(blocks.Block());
            if (p < bytes.size() && bytes[p] == '\r') ++p;
            if (p < bytes.size() && bytes[p] == '\n') ++p;
        }
        if (blocks.Finish()) CheckBlock(blocks.Block());
    }
    return 0;
}
