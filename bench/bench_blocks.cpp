// Block check benchmarks: the block checks alone (the lines already split
// and line-checked) over the generated 1,000,000-line file, over a single
// outline of 1,000,000 points, and over 100,000 small blocks.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "bench/airspace_gen.h"
#include "engine/blocks.h"
#include "engine/engine.h"
#include "engine/lines.h"
#include "engine/text.h"

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

void RunBlockChecks(benchmark::State& state, const SplitFile& file) {
    CheckSettings settings;
    settings.blocks = true;
    std::vector<Finding> out;
    std::size_t findings = 0;
    for (auto _ : state) {
        BlockChecks checks(settings);
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
}

void BM_BlockChecks_Generated1M(benchmark::State& state) {
    static const SplitFile file = Split(bench::GenerateAirspace(1'000'000));
    RunBlockChecks(state, file);
}
BENCHMARK(BM_BlockChecks_Generated1M)->Unit(benchmark::kMillisecond);

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

}  // namespace
BENCHMARK_MAIN();
