#include "engine/run/block_at_line.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/run/engine.h"
#include "engine/rules/extended/extended.h"
#include "engine/input/record_line.h"
#include "engine/values/text.h"

namespace corvala {

BlockAnalysis AnalyseBlockLines(std::span<const std::string_view> lines, std::int32_t firstLine,
                                const CheckSettings& settings) {
    Engine engine;
    std::optional<ExtendedLineRules> extended;
    if (settings.ExtendedLines()) extended.emplace(engine, settings);
    std::vector<RecordLine> records;
    records.reserve(lines.size());
    std::vector<Finding> own;
    std::int32_t blockLine = 0;
    std::int32_t number = firstLine;
    for (const std::string_view raw : lines) {
        RecordLine& r = records.emplace_back();
        r.line = number++;
        r.raw = raw;
        RecordText split;
        if (!ReadRecordLine(raw, r.line, settings.ExtendedLines(), split)) continue;
        r.command = split.command;
        r.argument = split.argument;
        if (StartsBlock(split.command)) {
            // AnalyseBlock ends at the next block: the lines from there on
            // need no check.
            if (records.size() > 1) break;
            blockLine = r.line;
        }
        if (extended) {
            // As in the run: a line passes when none of its findings is an error.
            own.clear();
            extended->CheckLine(r.line, raw, split.command, split.argument, blockLine, own);
            r.lineOk =
                std::none_of(own.begin(), own.end(), [](const Finding& f) { return f.severity == Severity::Error; });
        } else {
            r.lineOk = engine.ScanLine(split.command, split.argument).ok();
        }
    }
    return AnalyseBlock(records, settings);
}

}  // namespace corvala
