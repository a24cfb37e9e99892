// The extended record set's checks, line by line: the line rules
// (ExtendedLineRules) and the block and file rules (ExtendedBlockRules) over the
// generated 1,000,000-line file and a real file written for the extended
// set, beside the classic line checks over the same lines. Per line their
// cost must stay well below 200 ns, so that a run with --rules=extended
// still checks 5 million lines per second.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/airspace_gen.h"
#include "engine/run/engine.h"
#include "engine/rules/extended/extended.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "engine/values/text.h"

namespace {

using corvala::Engine;
using corvala::RecordLine;

// The lines of a text split as the run splits them.
struct SplitText {
    corvala::Lines lines;
    std::vector<RecordLine> records;
};

SplitText Split(std::string text) {
    SplitText split{corvala::Lines(std::move(text)), {}};
    split.records.reserve(split.lines.size());
    for (std::size_t i = 0; i < split.lines.size(); ++i) {
        RecordLine r;
        r.line = static_cast<std::int32_t>(i + 1);
        r.raw = split.lines[i];
        std::string_view body = corvala::TrimText(r.raw.substr(0, r.raw.find('*')));
        if (!body.empty()) {
            const std::size_t blank = body.find(' ');
            r.command = body.substr(0, blank);
            r.argument = blank == std::string_view::npos ? std::string_view() : body.substr(blank + 1);
        }
        split.records.push_back(r);
    }
    return split;
}

const SplitText& Generated() {
    static const SplitText split = Split(corvala::bench::GenerateAirspace(1000000, 1));
    return split;
}

const SplitText* CorpusFile() {
    static const SplitText* split = [] {
        const std::string path = std::string(CORVALA_CORPUS_DIR) + "/fr-2026-exp.txt";
        if (!std::ifstream(path).good()) return static_cast<SplitText*>(nullptr);
        return new SplitText(Split(corvala::ReadWholeFile(path, corvala::FileKinds::Any)));
    }();
    return split;
}

// The classic line check of every non-empty line, for comparison.
void ClassicLines(benchmark::State& state, const SplitText& text) {
    corvala::SetDecimalSeparator('.');
    Engine engine;
    for (auto _ : state) {
        for (const RecordLine& r : text.records)
            if (!r.command.empty()) benchmark::DoNotOptimize(engine.ScanLine(r.command, r.argument));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.records.size()));
}

// What a run with --rules=extended adds up per line: the line rules of each
// non-empty line and the block and file rules of every line.
void ExtendedLines(benchmark::State& state, const SplitText& text) {
    corvala::SetDecimalSeparator('.');
    corvala::CheckSettings settings;
    settings.extended = true;
    Engine engine;
    std::vector<corvala::Finding> findings;
    std::int64_t count = 0;
    for (auto _ : state) {
        corvala::ExtendedLineRules records(engine, settings);
        corvala::ExtendedBlockRules checks(settings);
        std::int32_t block = 0;
        count = 0;
        for (RecordLine r : text.records) {
            findings.clear();
            if (!r.command.empty()) {
                if (corvala::StartsBlock(r.command)) block = r.line;
                records.CheckLine(r.line, r.raw, r.command, r.argument, block, findings);
                for (const corvala::Finding& f : findings) r.lineOk = r.lineOk && f.severity == corvala::Severity::Note;
            }
            checks.Line(r, findings);
            count += static_cast<std::int64_t>(findings.size());
        }
        checks.Finish(findings);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.records.size()));
    state.counters["findings"] = static_cast<double>(count);
}

void BM_ClassicGenerated(benchmark::State& state) { ClassicLines(state, Generated()); }
BENCHMARK(BM_ClassicGenerated)->Unit(benchmark::kMillisecond);

void BM_ExtendedGenerated(benchmark::State& state) { ExtendedLines(state, Generated()); }
BENCHMARK(BM_ExtendedGenerated)->Unit(benchmark::kMillisecond);

void BM_ClassicCorpusFile(benchmark::State& state) {
    if (CorpusFile() == nullptr) return state.SkipWithError("corpus file fr-2026-exp.txt not found");
    ClassicLines(state, *CorpusFile());
}
BENCHMARK(BM_ClassicCorpusFile)->Unit(benchmark::kMillisecond);

void BM_ExtendedCorpusFile(benchmark::State& state) {
    if (CorpusFile() == nullptr) return state.SkipWithError("corpus file fr-2026-exp.txt not found");
    ExtendedLines(state, *CorpusFile());
}
BENCHMARK(BM_ExtendedCorpusFile)->Unit(benchmark::kMillisecond);

// One line over and over: the common records and the respaced coordinates.
void BM_ExtendedLine(benchmark::State& state, std::string_view command, std::string_view argument) {
    corvala::SetDecimalSeparator('.');
    corvala::CheckSettings settings;
    settings.extended = true;
    Engine engine;
    corvala::ExtendedLineRules records(engine, settings);
    std::vector<corvala::Finding> findings;
    for (auto _ : state) {
        findings.clear();
        records.CheckLine(2, {}, command, argument, 1, findings);
        benchmark::DoNotOptimize(findings.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_ExtendedLine, DP_classic_spacing, "DP", "52:30:00 N 013:20:00 E");
BENCHMARK_CAPTURE(BM_ExtendedLine, DP_letter_after_number, "DP", "53:47:06N 008:21:41E");
BENCHMARK_CAPTURE(BM_ExtendedLine, DB, "DB", "53:47:06N 008:21:41E,53:48:06N 008:22:41E");
BENCHMARK_CAPTURE(BM_ExtendedLine, AC, "AC", "UNC");
BENCHMARK_CAPTURE(BM_ExtendedLine, AY, "AY", "TMA");
BENCHMARK_CAPTURE(BM_ExtendedLine, AF, "AF", "123.455");
BENCHMARK_CAPTURE(BM_ExtendedLine, AA, "AA", "2026-08-01T00:00Z/2026-10-31T23:59Z");
BENCHMARK_CAPTURE(BM_ExtendedLine, AH, "AH", "2500FT AMSL");
BENCHMARK_CAPTURE(BM_ExtendedLine, AC_old_class, "AC", "R");

}  // namespace

BENCHMARK_MAIN();
