#include "engine/rules/block/block_fixes.h"

#include <charconv>
#include <string>
#include <vector>

#include "engine/model/rule_docs.h"

namespace corvala {

std::shared_ptr<const Fix> RemoveRepeatedPoint(std::int32_t line) {
    return MakeRuleFix(RuleId::RepeatedPoint, "remove the repeated point", {RemoveLine(line)});
}

std::shared_ptr<const Fix> CloseOutline(std::int32_t lastLine, std::string_view firstPoint) {
    return MakeRuleFix(RuleId::NotClosed, "close the outline with its first point",
                       {InsertLine(lastLine + 1, std::string(firstPoint))});
}

std::shared_ptr<const Fix> MoveBeforeGeometry(std::int32_t line, std::string_view raw, std::int32_t geometryLine) {
    if (geometryLine <= 0 || geometryLine >= line) return nullptr;
    return MakeRuleFix(RuleId::RecordAfterGeometry, "move the record before the geometry",
                       {InsertLine(geometryLine, std::string(raw)), RemoveLine(line)});
}

std::shared_ptr<const Fix> ArcAsCircle(std::int32_t line, std::string_view raw, std::string_view record,
                                       double metres) {
    const double miles = metres / 1852.0;
    if (!(miles > 0) || miles > 1000) return nullptr;
    // The radius in nautical miles to a thousandth, without trailing zeros.
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, miles, std::chars_format::fixed, 3);
    if (error != std::errc()) return nullptr;
    std::string radius(buffer, end);
    while (radius.back() == '0') radius.pop_back();
    if (radius.back() == '.') radius.pop_back();
    if (radius == "0") return nullptr;
    std::optional<Edit> edit = ReplaceView(line, raw, record, "DC " + radius);
    if (!edit) return nullptr;
    return MakeRuleFix(RuleId::ZeroSweepArc, "write DC " + radius, {std::move(*edit)});
}

std::shared_ptr<const Fix> RemoveBlock(std::int32_t first, std::int32_t last) {
    // A block of more lines is left to the hand: the fix would hold an edit
    // per line.
    if (first <= 0 || last < first || last - first >= 10000) return nullptr;
    std::vector<Edit> edits;
    edits.reserve(static_cast<std::size_t>(last - first) + 1);
    for (std::int32_t line = first; line <= last; ++line) edits.push_back(RemoveLine(line));
    return MakeRuleFix(RuleId::DuplicateBlock, "remove the repeated block", std::move(edits));
}

}  // namespace corvala
