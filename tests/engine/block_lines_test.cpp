#include "engine/run/block_at_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/run/engine.h"
#include "engine/run/kept_blocks.h"
#include "engine/geo/geodesics.h"
#include "engine/input/lines.h"
#include "engine/values/text.h"
#include "test_support.h"
#include "tests/support/recording_sink.h"

namespace corvala {
namespace {

std::vector<std::string_view> Views(const Lines& lines) { return {lines.begin(), lines.end()}; }

// The kept analyses of a run over `text`, with the block checks.
KeptBlocks KeptOf(const std::string& text, CheckSettings settings = {}) {
    test::RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);
    engine.Settings = settings;
    KeptBlocks kept;
    engine.KeepBlocks = &kept;
    engine.ValidateBytes("blocks", text);
    return kept;
}

// Which lines start a block is the run's reading: comment cut, trimmed,
// the command word up to the first blank only, letters in any case. The
// window finds the block of a line among the run's kept analyses.
TEST(KeptBlocks, FindsTheBlockOfALineAsTheRunReadsBlockStarts) {
    const KeptBlocks kept = KeptOf("* header\n"  // 1: preamble
                                   "AN outside\n"  // 2
                                   "AC R\n"  // 3: block 3 to 6
                                   "AN Zone\n"  // 4
                                   "   \n"  // 5
                                   "DP 45:00:00 N 009:00:00 E\n"  // 6
                                   "ac c * lower case\n"  // 7: block 7
                                   "TO\n"  // 8: block 8
                                   "\tTC x\n"  // 9: block 9 to 12, the tab trimmed
                                   "* AC in a comment\n"  // 10
                                   "XAC y\n"  // 11
                                   "AC\tR\n"  // 12: the tab does not end the command
                                   "AC D");  // 13: block 13, the last line
    const struct {
        std::int32_t line;
        std::int32_t first, last;  // first 0: the preamble
    } cases[] = {{1, 0, 2}, {2, 0, 2},  {3, 3, 6},   {5, 3, 6},   {6, 3, 6},   {7, 7, 7},
                 {8, 8, 8}, {9, 9, 12}, {10, 9, 12}, {12, 9, 12}, {13, 13, 13}};
    ASSERT_EQ(kept.Size(), 6u);
    for (const auto& c : cases) {
        const std::size_t index = kept.Find(c.line);
        ASSERT_NE(index, KeptBlocks::kNone) << "line " << c.line;
        EXPECT_EQ(kept[index].firstLine, c.first) << "line " << c.line;
        EXPECT_EQ(kept[index].lastLine, c.last) << "line " << c.line;
    }
    // Outside the file: none.
    for (const std::int32_t line : {0, -5, 14}) EXPECT_EQ(kept.Find(line), KeptBlocks::kNone) << "line " << line;
    // A file that begins with a block has no preamble; an empty file no lines.
    const KeptBlocks starts = KeptOf("AC R\nAN Zone");
    ASSERT_EQ(starts.Size(), 1u);
    EXPECT_EQ(starts.Find(2), 0u);
    EXPECT_EQ(starts[0].firstLine, 1);
    EXPECT_EQ(KeptOf("").Size(), 0u);
}

const std::string kBlocks = "\xEF\xBB\xBF"
                            "AC R\n"  // a block with the extended record set only
                            "AN Marked\n"
                            "AH FL95\n"
                            "AL GND\n"
                            "DP 45:00:00 N 009:00:00 E\n"
                            "DP 45:10:00 N 009:00:00 E\n"
                            "AC X\n"  // not a class: the line fails, the block is still one
                            "an outside ordinary blocks * lower case, a comment\n"
                            "AL 3000ft AMSL\n"
                            "AH 1000ft AMSL\n"
                            "\n"
                            "V X=45:00:00 N 009:00:00 E\n"
                            "DB 45:05:00 N 009:00:00 E, 45:00:00 N 009:20:00 E\n"
                            "DA 5,90,180\n"
                            "AC C\n"  // a bow-tie that does not close
                            "AN Tie\n"
                            "AH FL65\n"
                            "AL GND\n"
                            "DP 45:00:00 N 009:00:00 E\n"
                            "DP 45:10:00 N 009:10:00 E\n"
                            "DP 45:10:00 N 009:00:00 E\n"
                            "DP 45:00:00 N 009:10:00 E\n"
                            "AC D\n"  // written as current files write coordinates
                            "AN Current\n"
                            "AH FL65\n"
                            "AL GND\n"
                            "DP 45:00:00N 009:00:00E\n"
                            "DP 45:10:00N 009:00:00E\n"
                            "DP 45:10:00N 009:10:00E\n"
                            "DP 45:00:00N 009:00:00E\n"
                            "AC R\n"  // a circle, and a repeated name after it
                            "AN Round\n"
                            "AH FL65\n"
                            "AL GND\n"
                            "V X=45:00:00 N 009:00:00 E\n"
                            "DC 3.5\n"
                            "AN Round again\n"
                            "AC Q\n"  // two points and back
                            "AN Two\n"
                            "AH FL65\n"
                            "AL GND\n"
                            "DP 45:00:00 N 009:00:00 E\n"
                            "DP 45:10:00 N 009:00:00 E\n"
                            "DP 45:00:00 N 009:00:00 E\n"
                            "TO\n"
                            "DP 45:00:00 N 009:00:00 E\n"
                            "AC E\n";

// The block analysis from raw lines finds, block by block, what the run
// reports for them (the duplicate test spans the file and is left out), with
// the classic line checks and with the extended record set's; and it is
// AnalyseBlock's analysis of the lines split as the run splits them, even
// when it is given the rest of the file after the block.
TEST(AnalyseBlockLines, AsTheRunAnalysesTheBlock) {
    test::ScopedSeparator separator('.');
    const Lines file(kBlocks);
    const std::vector<std::string_view> lines = Views(file);
    const auto count = static_cast<std::int32_t>(lines.size());
    auto blockRule = [](std::string_view rule) {
        for (const RuleInfo& info : BlockRules())
            if (info.id == rule && rule != "duplicate-block") return true;
        return false;
    };

    for (const bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "extended" : "classic");
        CheckSettings settings;
        settings.blocks = true;
        settings.extended = extended;
        test::RecordingSink sink;
        RunHost host;
        Engine engine(sink, host);
        engine.Settings = settings;
        engine.ValidateBytes("blocks", kBlocks);

        std::vector<std::string> run, lookedAt;
        for (const Finding& f : sink.findings)
            if (blockRule(IdOf(f.rule)))
                run.push_back(std::to_string(f.line) + " " + std::string(IdOf(f.rule)) + " " +
                              std::string(SeverityName(f.severity)) + ": " + f.message);
        int blocks = 0;
        for (std::int32_t first = 1; first <= count; ++blocks) {
            const BlockAnalysis a =
                AnalyseBlockLines(std::span(lines).subspan(static_cast<std::size_t>(first - 1)), first, settings);
            ASSERT_GE(a.lastLine, first);
            for (const BlockFinding& f : a.findings)
                lookedAt.push_back(std::to_string(f.finding.line) + " " + std::string(IdOf(f.finding.rule)) + " " +
                                   std::string(SeverityName(f.finding.severity)) + ": " + f.finding.message);
            first = a.lastLine + 1;
        }
        EXPECT_EQ(blocks, 8);
        EXPECT_EQ(lookedAt, run);
        // The file has a finding of each kind the view marks.
        for (const char* rule : {"too-few-points", "arc-radius-mismatch", "self-intersection", "not-closed"})
            EXPECT_NE(std::find_if(run.begin(), run.end(),
                                   [&](const std::string& f) { return f.find(rule) != std::string::npos; }),
                      run.end())
                << rule;
    }

    // The shape, against AnalyseBlock over lines split by hand.
    Engine engine;
    std::vector<RecordLine> records;
    for (std::int32_t n = 0; n < count; ++n) {
        RecordLine& r = records.emplace_back();
        r.line = n + 1;
        r.raw = lines[n];
        const std::string_view text = TrimText(r.raw.substr(0, r.raw.find('*')));
        if (text.empty()) continue;
        const std::size_t blank = text.find(' ');
        r.command = text.substr(0, blank);
        if (blank != std::string_view::npos) r.argument = text.substr(blank + 1);
        r.lineOk = engine.ScanLine(r.command, r.argument).ok();
    }
    CheckSettings classic;
    classic.blocks = true;
    for (std::int32_t first = 1; first <= count;) {
        SCOPED_TRACE("block at line " + std::to_string(first));
        const BlockAnalysis want =
            AnalyseBlock(std::span(records).subspan(static_cast<std::size_t>(first - 1)), classic);
        const BlockAnalysis got =
            AnalyseBlockLines(std::span(lines).subspan(static_cast<std::size_t>(first - 1)), first, classic);
        EXPECT_EQ(got.lastLine, want.lastLine);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.firstLine, want.firstLine);
        EXPECT_EQ(got.name + "|" + got.upper + "|" + got.lower + "|" + got.airspaceClass,
                  want.name + "|" + want.upper + "|" + want.lower + "|" + want.airspaceClass);
        ASSERT_EQ(got.outline.size(), want.outline.size());
        for (std::size_t i = 0; i < got.outline.size(); ++i) {
            EXPECT_EQ(got.outline[i].position, want.outline[i].position);
            EXPECT_EQ(got.outline[i].line, want.outline[i].line);
        }
        EXPECT_EQ(got.arcs.size(), want.arcs.size());
        EXPECT_EQ(got.circles.size(), want.circles.size());
        EXPECT_EQ(got.centres.size(), want.centres.size());
        EXPECT_EQ(got.geometryChecked, want.geometryChecked);
        ASSERT_EQ(got.findings.size(), want.findings.size());
        for (std::size_t i = 0; i < got.findings.size(); ++i)
            EXPECT_EQ(got.findings[i].markers, want.findings[i].markers) << IdOf(got.findings[i].finding.rule);
        first = got.lastLine + 1;
    }
}

// The window's run keeps every block's analysis, found by any of its lines:
// as analysed from its raw lines (kBlocks gives no block a reason to differ),
// with its findings under the block checks and without them otherwise; and
// the run reports what it reports without keeping them.
TEST(KeptBlocks, TheRunKeepsEachBlockFoundByItsLines) {
    test::ScopedSeparator separator('.');
    const std::string text = "* a preamble\n\n" + kBlocks.substr(3);
    const Lines file(text);
    const std::vector<std::string_view> lines = Views(file);
    const auto count = static_cast<std::int32_t>(lines.size());
    auto describe = [](const BlockAnalysis& a) {
        std::string d = std::to_string(a.firstLine) + "-" + std::to_string(a.lastLine) + " points " +
                        std::to_string(a.outline.size()) + (a.geometryChecked ? "" : " unchecked");
        for (const BlockFinding& f : a.findings) {
            d += "; " + std::to_string(f.finding.line) + " " + std::string(IdOf(f.finding.rule)) + " at";
            for (const GeoPoint& p : f.markers) d += " " + FormatDms(p);
        }
        return d;
    };
    for (const bool blocks : {true, false})
        for (const bool extended : {false, true}) {
            SCOPED_TRACE(std::string(blocks ? "blocks " : "") + (extended ? "extended" : "classic"));
            CheckSettings settings;
            settings.blocks = blocks;
            settings.extended = extended;
            test::RecordingSink plain, keeping;
            RunHost host;
            Engine plainEngine(plain, host), engine(keeping, host);
            plainEngine.Settings = engine.Settings = settings;
            KeptBlocks kept;
            engine.KeepBlocks = &kept;
            plainEngine.ValidateBytes("blocks", text);
            engine.ValidateBytes("blocks", text);
            EXPECT_EQ(keeping.log, plain.log);
            EXPECT_EQ(keeping.errors, plain.errors);

            ASSERT_EQ(kept.Size(), 9u);
            std::int32_t first = 1;
            for (std::size_t index = 0; index < kept.Size(); ++index) {
                BlockAnalysis want =
                    AnalyseBlockLines(std::span(lines).subspan(static_cast<std::size_t>(first - 1)), first, settings);
                if (!blocks) want.findings.clear();
                EXPECT_EQ(describe(kept[index]), describe(want));
                for (std::int32_t line = first; line <= want.lastLine; ++line) EXPECT_EQ(kept.Find(line), index);
                first = want.lastLine + 1;
            }
            EXPECT_EQ(first, count + 1);
        }
}

}  // namespace
}  // namespace corvala
