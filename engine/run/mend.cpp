#include "engine/run/mend.h"

#include "engine/run/engine.h"

namespace corvala {

namespace {

// Keeps the fixes a run's findings offer, in file order, and the counts.
class FixCollector final : public FindingSink {
public:
    explicit FixCollector(bool unsafeFixes) : unsafeFixes_(unsafeFixes) {}
    void RunStarted(const RunStart&) override {
        fixes.clear();
        end = RunEnd{};
    }
    void Reported(const Finding& finding) override {
        if (finding.fix && Wanted(finding.fix->safety, unsafeFixes_)) fixes.push_back(finding.fix);
    }
    void LineChecked(const LineVerdict&) override {}
    void RunFinished(const RunEnd& finished) override { end = finished; }

    std::vector<std::shared_ptr<const Fix>> fixes;
    RunEnd end;

private:
    bool unsafeFixes_;
};

}  // namespace

Mended Mend(std::string_view name, std::string bytes, const CheckSettings& settings, bool unsafeFixes,
            int maxRounds) {
    FixCollector collector(unsafeFixes);
    RunHost host;
    Engine engine(collector, host);
    engine.Settings = settings;
    Mended mended;
    mended.bytes = std::move(bytes);
    bool identity = true;
    const std::string title(name);
    for (int round = 0;; ++round) {
        engine.ValidateBytes(title, mended.bytes);
        mended.remaining = collector.end;
        if (collector.fixes.empty() || round == maxRounds) break;
        Applied applied = ApplyFixes(mended.bytes, collector.fixes);
        if (applied.fixes == 0) break;
        mended.fixes += applied.fixes;
        ++mended.rounds;
        mended.bytes = std::move(applied.bytes);
        if (!identity)
            for (std::int32_t& line : applied.origin)
                if (line != 0) line = mended.origin[static_cast<std::size_t>(line) - 1];
        mended.origin = std::move(applied.origin);
        identity = false;
    }
    if (identity) {
        mended.origin.resize(SourceLines(mended.bytes).size());
        for (std::size_t i = 0; i < mended.origin.size(); ++i) mended.origin[i] = static_cast<std::int32_t>(i + 1);
    }
    return mended;
}

}  // namespace corvala
