// The map shapes: MapBlocks over the generated 1,000,000-line file (every
// airspace block copied, analysed with its arcs followed, its shape built),
// with the classic rules and with the extended record set. The writing of
// the GeoJSON or KML text is measured by bench/check-speed.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/airspace_gen.h"
#include "engine/input/lines.h"
#include "engine/present/shapes.h"
#include "engine/values/text.h"

namespace {

using namespace corvala;

const Lines& GeneratedFile() {
    static const Lines lines = [] {
        SetDecimalSeparator('.');
        return Lines(bench::GenerateAirspace(1'000'000));
    }();
    return lines;
}

void BM_MapBlocks(benchmark::State& state) {
    const Lines& lines = GeneratedFile();
    CheckSettings run;
    run.extended = state.range(0) != 0;
    std::size_t blocks = 0, points = 0;
    for (auto _ : state) {
        MapBlocks map(run);
        blocks = points = 0;
        std::int32_t n = 0;
        auto count = [&] {
            ++blocks;
            for (const auto& part : map.Block().shape.parts) points += part.size();
        };
        for (const std::string_view raw : lines)
            if (map.Line(++n, raw)) count();
        if (map.Finish()) count();
        benchmark::DoNotOptimize(points);
    }
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["points"] = static_cast<double>(points);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}
BENCHMARK(BM_MapBlocks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
