// Engine benchmarks: reading a large real file into lines, the number
// conversions, each command's check, whole runs over a generated
// 1,000,000-line file into a sink that discards everything, and streamed
// runs with the checks beyond single lines over files whose lines are held
// back (read a second time from the file, or copied as from a pipe).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "bench/airspace_gen.h"
#include "engine/run/engine.h"
#include "engine/input/io.h"
#include "engine/input/line_reader.h"
#include "engine/input/lines.h"
#include "engine/run/run.h"
#include "engine/values/text.h"

namespace {

using corvala::Engine;

const std::string kLargestCorpusFile = std::string(CORVALA_CORPUS_DIR) + "/ua-2024.txt";

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

void BM_LoadLines(benchmark::State& state) {
    if (!FileExists(kLargestCorpusFile)) {
        state.SkipWithError(("corpus file not found: " + kLargestCorpusFile).c_str());
        return;
    }
    std::size_t bytes = 0, lines = 0;
    for (auto _ : state) {
        corvala::Lines loaded;
        corvala::LoadLines(loaded, kLargestCorpusFile);
        lines = loaded.size();
        bytes = 0;
        for (std::string_view line : loaded) bytes += line.size();
        benchmark::DoNotOptimize(loaded);
    }
    // Bytes of the file, line ends included.
    std::ifstream in(kLargestCorpusFile, std::ios::binary | std::ios::ate);
    const auto fileSize = static_cast<std::int64_t>(in.tellg());
    state.SetBytesProcessed(state.iterations() * fileSize);
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_LoadLines)->Unit(benchmark::kMillisecond);

const std::vector<std::string> kIntTexts{"52", "013", "0", "180", "-1", "$34", "360", "1000", "255", "60"};
const std::vector<std::string> kRealTexts{
    "30.5", "20.25", "51.4710006713867", "027.7600002288818", "2.5", "0", "60.000001", "13.25", "00.50", "1000"};

void BM_TextToInt(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvala::TextToInt(kIntTexts[i]));
        if (++i == kIntTexts.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextToInt);

void BM_TextToReal(benchmark::State& state) {
    corvala::SetDecimalSeparator('.');
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvala::TextToReal(kRealTexts[i]));
        if (++i == kRealTexts.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextToReal);

// One valid line of a command, checked over and over through ParseLine.
void BM_ParseLine(benchmark::State& state, std::string_view command, std::string_view argument) {
    corvala::SetDecimalSeparator('.');
    corvala::NullFindingSink sink;
    corvala::RunHost host;
    Engine engine(sink, host);
    if (!engine.ParseLine(1, command, argument)) {
        state.SkipWithError("the benchmark line does not pass its check");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(engine.ParseLine(1, command, argument));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("lines/s");
}
BENCHMARK_CAPTURE(BM_ParseLine, DP_DMS, "DP", "52:30:00 N 013:20:00 E");
BENCHMARK_CAPTURE(BM_ParseLine, DP_DMS_decimal, "DP", "45:02:39.58 N 003:36:50.25 E");
BENCHMARK_CAPTURE(BM_ParseLine, DP_DM, "DP", "52:30.500 N 013:20.250 E");
BENCHMARK_CAPTURE(BM_ParseLine, DP_DD, "DP", "51.4710006713867 N 027.7600002288818 E");
BENCHMARK_CAPTURE(BM_ParseLine, DA, "DA", "10,0,90");
BENCHMARK_CAPTURE(BM_ParseLine, DB, "DB", "52:30:00 N 013:20:00 E,52:31:00 N 013:21:00 E");
BENCHMARK_CAPTURE(BM_ParseLine, SP, "SP", "0,1,255,0,0");
BENCHMARK_CAPTURE(BM_ParseLine, V_X, "V", "X=52:30:00 N 013:20:00 E");
BENCHMARK_CAPTURE(BM_ParseLine, V_D, "V", "D=-");
BENCHMARK_CAPTURE(BM_ParseLine, AC, "AC", "CTR");
BENCHMARK_CAPTURE(BM_ParseLine, AN, "AN", "ED-R 123 Zone 7 FL95");

// A failing line costs a raised failure and two messages.
void BM_ParseLineFailing(benchmark::State& state, std::string_view command, std::string_view argument) {
    corvala::SetDecimalSeparator('.');
    corvala::NullFindingSink sink;
    corvala::RunHost host;
    Engine engine(sink, host);
    for (auto _ : state) benchmark::DoNotOptimize(engine.ParseLine(1, command, argument));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_ParseLineFailing, AY_not_implemented, "AY", "TMA");
BENCHMARK_CAPTURE(BM_ParseLineFailing, DP_no_form, "DP", "52:30:00N 013:20:00E");
BENCHMARK_CAPTURE(BM_ParseLineFailing, AC_unknown_class, "AC", "UNC");

constexpr std::size_t kRunLines = 1000000;

const std::string& GeneratedFile() {
    static const std::string text = corvala::bench::GenerateAirspace(kRunLines, 1);
    return text;
}

// The whole run over bytes already in memory (as for standard input); the
// argument asks for the block checks (bit 0) and the extended record set
// (bit 1).
void BM_RunBytes(benchmark::State& state) {
    corvala::SetDecimalSeparator('.');
    const std::string& text = GeneratedFile();
    corvala::NullFindingSink sink;
    corvala::RunHost host;
    Engine engine(sink, host);
    engine.Settings.blocks = (state.range(0) & 1) != 0;
    engine.Settings.extended = (state.range(0) & 2) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string bytes = text;
        state.ResumeTiming();
        engine.ValidateBytes("generated", std::move(bytes));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRunLines));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["errors"] = engine.ErrorCount;
}
BENCHMARK(BM_RunBytes)->Unit(benchmark::kMillisecond)->ArgName("checks")->DenseRange(0, 3);

// The whole run from a file on disk, reading included.
void BM_RunFile(benchmark::State& state) {
    corvala::SetDecimalSeparator('.');
    const std::string& text = GeneratedFile();
    const std::string path = "/tmp/corvala-bench-" + std::to_string(::getpid()) + ".txt";
    std::ofstream(path, std::ios::binary) << text;
    corvala::NullFindingSink sink;
    corvala::RunHost host;
    Engine engine(sink, host);
    for (auto _ : state) engine.ValidateFile(path);
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRunLines));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RunFile)->Unit(benchmark::kMillisecond);

// A file streamed as corvala-check streams it; its lines are given again
// by a second reader when `again`, else the run copies those it holds.
class StreamedFile final : public corvala::LineSource {
public:
    StreamedFile(const std::string& path, bool again)
        : file_(corvala::OpenForReading(path, corvala::FileKinds::Any)), reader_(file_.get()), again_(again) {}
    bool Next(std::string_view& line) override { return reader_.Next(line); }
    bool Again() override {
        if (!again_ || !reader_.CanReadAgain()) return false;
        second_.emplace(reader_, corvala::LineReader::Again{});
        return true;
    }
    bool NextAgain(std::string_view& line) override { return second_ && second_->Next(line); }

private:
    corvala::FileHandle file_;
    corvala::LineReader reader_;
    bool again_;
    std::optional<corvala::LineReader> second_;
};

// The texts of the streamed runs: the generated file, 20 MB of blank lines
// (all held until the end: no block starts), one block of 1,000,000 points.
std::string HeldText(int which) {
    if (which == 0) return GeneratedFile();
    if (which == 1) return std::string(20000000, '\n');
    std::string text = "AC Q\nAN Zone\nAL GND\nAH FL100\n";
    char line[40];
    for (int i = 0; i < 1000000; ++i) {
        // A comb of teeth one second of longitude apart, each a thousand
        // points one second of latitude apart.
        const int column = i / 1000, step = i % 1000, row = column % 2 == 0 ? step : 999 - step;
        std::snprintf(line, sizeof line, "DP 45:%02d:%02d N 01%d:%02d:%02d E\n", row / 60, row % 60, column / 3600,
                      column / 60 % 60, column % 60);
        text += line;
    }
    return text;
}

// The argument: the text (0 generated, 1 blank lines, 2 one block) and
// whether the lines are read again (1) or copied (0). The block checks and
// the extended rules, except for the one block, which has the extended
// rules alone (the crossing test of a million points is the geometry's
// benchmark, not this one).
void BM_RunStreamedHeld(benchmark::State& state) {
    corvala::SetDecimalSeparator('.');
    const int which = static_cast<int>(state.range(0));
    const std::string text = HeldText(which);
    const std::string path = "/tmp/corvala-bench-held-" + std::to_string(::getpid()) + ".txt";
    std::ofstream(path, std::ios::binary) << text;
    corvala::NullFindingSink sink;
    corvala::RunHost host;
    Engine engine(sink, host);
    engine.Settings.blocks = which != 2;
    engine.Settings.extended = true;
    for (auto _ : state) {
        StreamedFile source(path, state.range(1) != 0);
        engine.ValidateLines(path, source);
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RunStreamedHeld)
    ->Unit(benchmark::kMillisecond)
    ->ArgNames({"text", "again"})
    ->ArgsProduct({{0, 1, 2}, {1, 0}});

}  // namespace

int main(int argc, char** argv) {
    corvala::InitializeFloatingPoint();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
