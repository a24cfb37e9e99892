// Block check benchmarks: the block checks alone (the lines already split
// and line-checked) over the generated 1,000,000-line file, over a single
// outline of 1,000,000 points, over 100,000 small blocks, over arcs that
// ask for many points from few bytes, and the crossing test of outlines
// made to be slow.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "bench/airspace_gen.h"
#include "engine/rules/block/blocks.h"
#include "engine/run/engine.h"
#include "engine/run/kept_blocks.h"
#include "engine/input/lines.h"
#include "engine/geo/crossing.h"
#include "engine/geo/geodesics.h"
#include "engine/values/text.h"

namespace {

using namespace corvala;

// A file's lines as the run hands them to the checks.
struct SplitFile {
    Lines lines;
    std::vector<RecordLine> records;
};

SplitFile Split(std::string text) {
    SetDecimalSeparator('.');
    SplitFile file{Lines(std::move(text)), {}};
    file.records.reserve(file.lines.size());
    Engine engine;
    std::int32_t n = 0;
    for (const std::string_view raw : file.lines) {
        RecordLine r;
        r.line = ++n;
        r.raw = raw;
        std::string_view text = raw.substr(0, raw.find('*'));
        text = TrimText(text);
        if (!text.empty()) {
            const std::size_t blank = text.find(' ');
            r.command = text.substr(0, blank);
            if (blank != std::string_view::npos) r.argument = text.substr(blank + 1);
            r.lineOk = engine.ScanLine(r.command, r.argument).ok();
        }
        file.records.push_back(r);
    }
    return file;
}

// With `keep`, as the window's run: every block's analysis kept, and what
// the analyses take counted.
void RunBlockChecks(benchmark::State& state, const SplitFile& file, bool keep = false) {
    CheckSettings settings;
    settings.blocks = true;
    std::vector<Finding> out;
    std::size_t findings = 0;
    KeptBlocks kept;
    for (auto _ : state) {
        kept.Clear();
        BlockChecks checks(settings, keep ? &kept : nullptr);
        findings = 0;
        for (const RecordLine& r : file.records) {
            checks.Line(r, out);
            findings += out.size();
            out.clear();
        }
        checks.Finish(out);
        findings += out.size();
        out.clear();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(file.records.size()));
    state.counters["lines"] = static_cast<double>(file.records.size());
    state.counters["findings"] = static_cast<double>(findings);
    if (keep) {
        std::size_t bytes = 0;
        for (const std::string_view line : file.lines) bytes += line.size() + 1;
        state.counters["kept_blocks"] = static_cast<double>(kept.Size());
        state.counters["kept_MB"] = static_cast<double>(kept.Bytes()) / 1e6;
        state.counters["kept_per_file_byte"] = static_cast<double>(kept.Bytes()) / static_cast<double>(bytes);
    }
}

void BM_BlockChecks_Generated1M(benchmark::State& state) {
    static const SplitFile file = Split(bench::GenerateAirspace(1'000'000));
    RunBlockChecks(state, file);
}
BENCHMARK(BM_BlockChecks_Generated1M)->Unit(benchmark::kMillisecond);

// The same, keeping the analyses as the window's run does.
void BM_BlockChecks_Generated1MKept(benchmark::State& state) {
    static const SplitFile file = Split(bench::GenerateAirspace(1'000'000));
    RunBlockChecks(state, file, true);
}
BENCHMARK(BM_BlockChecks_Generated1MKept)->Unit(benchmark::kMillisecond);

std::string Dp(double latitude, double longitude) {
    auto dms = [](double v, int& d, int& m, double& s) {
        v = std::abs(v);
        d = static_cast<int>(v);
        m = static_cast<int>((v - d) * 60);
        s = (v - d - m / 60.0) * 3600;
    };
    int d1, m1, d2, m2;
    double s1, s2;
    dms(latitude, d1, m1, s1);
    dms(longitude, d2, m2, s2);
    char text[80];
    std::snprintf(text, sizeof text, "DP %02d:%02d:%06.3f N %03d:%02d:%06.3f E\n", d1, m1, s1, d2, m2, s2);
    return text;
}

// One airspace whose outline is a 1,000,000-gon of radius 0.5 degrees:
// it never crosses itself, so every segment is tested.
void BM_BlockChecks_Outline1M(benchmark::State& state) {
    static const SplitFile file = [] {
        std::string text = "AC R\nAN Large\nAL GND\nAH FL95\n";
        constexpr int kPoints = 1'000'000;
        for (int i = 0; i < kPoints; ++i) {
            const double angle = 2 * std::numbers::pi * i / kPoints;
            text += Dp(47 + 0.5 * std::cos(angle), 9 + 0.7 * std::sin(angle));
        }
        return Split(std::move(text));
    }();
    RunBlockChecks(state, file);
}
BENCHMARK(BM_BlockChecks_Outline1M)->Unit(benchmark::kMillisecond);

// 100,000 small clean blocks, each a closed square of its own.
void BM_BlockChecks_SmallBlocks100k(benchmark::State& state) {
    static const SplitFile file = [] {
        std::string text;
        for (int i = 0; i < 100'000; ++i) {
            const double lat = 40 + (i % 300) * 0.03, lon = 1 + (i / 300) * 0.03;
            text += "AC D\nAN Zone " + std::to_string(i) + "\nAL GND\nAH FL65\n";
            text += Dp(lat, lon) + Dp(lat + 0.02, lon) + Dp(lat + 0.02, lon + 0.02) + Dp(lat, lon + 0.02) +
                    Dp(lat, lon) + "\n";
        }
        return Split(std::move(text));
    }();
    RunBlockChecks(state, file);
}
BENCHMARK(BM_BlockChecks_SmallBlocks100k)->Unit(benchmark::kMillisecond);

// Ten blocks of 11,000 lines "DA 1000,0,359" (1.5 MB): each line asks for
// 358 points, 4 million a block; past 262,144 points a block's geometry is
// skipped with a note.
void BM_BlockChecks_TenArcBlocks(benchmark::State& state) {
    static const SplitFile file = [] {
        std::string text;
        for (int block = 0; block < 10; ++block) {
            text += "AC R\nAN Arcs " + std::to_string(block) + "\nAL GND\nAH FL95\nV X=45:00:00 N 009:00:00 E\n";
            for (int i = 0; i < 11'000; ++i) text += "DA 1000,0,359\n";
        }
        return Split(std::move(text));
    }();
    RunBlockChecks(state, file);
}
BENCHMARK(BM_BlockChecks_TenArcBlocks)->Unit(benchmark::kMillisecond);

// 2 MB of small blocks whose one arc of 1,000 NM (358 points) needs all that
// the block's 180 bytes allow (two points a byte): the most arc points a
// file can ask for, followed and checked for crossings. Its time per byte
// is the worst case of the block checks.
void BM_BlockChecks_ArcsAtTheBound(benchmark::State& state) {
    static const SplitFile file = [] {
        std::string text;
        for (int i = 0; text.size() < 2'000'000; ++i) {
            char centre[64];
            std::snprintf(centre, sizeof centre, "V X=%02d:%02d:00 N %03d:%02d:00 E\n", 40 + i % 20, i % 60,
                          1 + i / 20 % 40, i % 60);
            text += "AC R\nAN Arc " + std::to_string(1'000'000 + i) + " " + std::string(121, 'x') + "\n" + centre +
                    "DA 1000,0,359\n";
        }
        return Split(std::move(text));
    }();
    RunBlockChecks(state, file, state.range(0) != 0);
    state.SetBytesProcessed(state.iterations() * 2'000'000);
}
// 1: keeping the analyses as the window's run does, the most they can take
// for a file's size.
BENCHMARK(BM_BlockChecks_ArcsAtTheBound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A zigzag of 2,000 points with long teeth side by side, turned by 45
// degrees so that the boxes of its edges all overlap, and a star of 5,000
// long spikes that meet near its middle: the crossing test takes time in
// proportion to the points for both.
std::vector<GeoPoint> Zigzag45() {
    std::vector<GeoPoint> points;
    const double c = std::cos(std::numbers::pi / 4);
    auto add = [&](double x, double y) { points.push_back({45 + c * (x + y), 9 + c * (x - y) / c}); };
    for (int i = 0; i < 1998; ++i) add(i * 0.0002, i % 2 * 0.2);
    add(1997 * 0.0002, -0.05);
    add(0, -0.05);
    return points;
}

std::vector<GeoPoint> Star5000() {
    std::vector<GeoPoint> points;
    for (int i = 0; i < 5000; ++i) {
        const double angle = 2 * std::numbers::pi * i / 5000, radius = i % 2 ? 1.0 : 0.001;
        points.push_back({45 + radius * std::cos(angle), 9 + radius * std::sin(angle)});
    }
    return points;
}

void BM_FindSelfCrossing_Zigzag45(benchmark::State& state) {
    const std::vector<GeoPoint> points = Zigzag45();
    for (auto _ : state) benchmark::DoNotOptimize(FindSelfCrossing(points));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}
BENCHMARK(BM_FindSelfCrossing_Zigzag45)->Unit(benchmark::kMicrosecond);

void BM_FindSelfCrossing_Star5000(benchmark::State& state) {
    const std::vector<GeoPoint> points = Star5000();
    for (auto _ : state) benchmark::DoNotOptimize(FindSelfCrossing(points));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}
BENCHMARK(BM_FindSelfCrossing_Star5000)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
