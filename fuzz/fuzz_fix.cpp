// Fuzz target: mending arbitrary bytes (engine/mend.h) with the safe fixes,
// under the block checks with each way of judging a file.
//
// Whatever the bytes: the mended text has no more errors than the input and
// no more findings, but for the duplicate blocks that a fix may reveal (two
// blocks that differed only in a repeated or closing point); mending it
// again changes nothing; and no line check refuses a line that it accepted
// before the fix, nor a line the fix inserted.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/engine.h"
#include "engine/run/mend.h"
#include "engine/values/text.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_fix invariant broken: %s\n", what);
    std::abort();
}

// The findings of a run: their counts, and the lines a line check refused.
class Findings final : public corvala::FindingSink {
public:
    void RunStarted(const corvala::RunStart&) override {}
    void Reported(const corvala::Finding& finding) override {
        if (finding.rule == corvala::RuleId::DuplicateBlock) return;
        ++count;
        errors += finding.severity == corvala::Severity::Error;
        const bool lineRule = corvala::Info(finding.rule).family == corvala::RuleFamily::Line;
        if (lineRule && finding.severity == corvala::Severity::Error && finding.line > 0) {
            if (refused.size() <= static_cast<std::size_t>(finding.line)) refused.resize(finding.line + 1, false);
            refused[finding.line] = true;
        }
    }
    void LineChecked(const corvala::LineVerdict&) override {}
    void RunFinished(const corvala::RunEnd&) override {}

    bool Refused(std::int32_t line) const {
        return static_cast<std::size_t>(line) < refused.size() && refused[line];
    }

    std::int64_t count = 0, errors = 0;
    std::vector<bool> refused;
};

Findings Run(const std::string& bytes, const corvala::CheckSettings& settings) {
    Findings findings;
    corvala::RunHost host;
    corvala::Engine engine(findings, host);
    engine.Settings = settings;
    engine.ValidateBytes("fuzz", bytes);
    return findings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool initialized = [] {
        corvala::InitializeFloatingPoint();
        corvala::SetDecimalSeparator('.');
        return true;
    }();
    (void)initialized;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (int judging = 0; judging < 3; ++judging) {
        corvala::CheckSettings settings;
        settings.blocks = true;
        settings.extended = judging == 1;
        settings.byFile = judging == 2;
        const corvala::Mended mended = corvala::Mend("fuzz", bytes, settings, false);
        if (mended.fixes == 0) {
            Check(mended.bytes == bytes, "a text changed without a fix");
            continue;
        }
        const Findings before = Run(bytes, settings), after = Run(mended.bytes, settings);
        Check(after.errors <= before.errors, "a fix added an error");
        Check(after.count <= before.count, "a fix added a finding");
        for (std::size_t i = 0; i < mended.origin.size(); ++i) {
            const std::int32_t origin = mended.origin[i];
            if (after.Refused(static_cast<std::int32_t>(i + 1)))
                Check(origin != 0 && before.Refused(origin), "a fix made a line that the line checks refuse");
        }
        const corvala::Mended again = corvala::Mend("fuzz", mended.bytes, settings, false);
        if (again.fixes != 0 && mended.rounds < corvala::kMaxFixRounds) Check(false, "a second mending changed the text");
    }
    return 0;
}
