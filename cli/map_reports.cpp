#include "cli/map_reports.h"

#include "engine/present/map_writer.h"

namespace corvala::cli {

namespace {

// A report that hands the run to a map writer: the files as the command
// line names them, the checks the run resolved for each.
class MapReport final : public Report {
public:
    MapReport(Output& out, const ReportStyle& style, MapFormat format)
        : Report(out, style),
          writer_(MapWriter::Make(format, [this](std::string_view text) { out_.Write(text); }, style.checks)) {}

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        writer_->FollowFileChecks(style_.fileChecks);
        writer_->BeginFile(name);
    }
    void Reported(const Finding& finding) override { writer_->Reported(finding); }
    void LineChecked(const LineVerdict& verdict) override { writer_->LineChecked(verdict); }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        writer_->RunFinished(end);
    }
    void FileFailed(std::string_view message) override { writer_->FileFailed(message); }
    void Finish() override { writer_->Finish(); }

private:
    std::unique_ptr<MapWriter> writer_;
};

}  // namespace

std::unique_ptr<Report> MakeGeoJsonReport(Output& out, const ReportStyle& style) {
    return std::make_unique<MapReport>(out, style, MapFormat::GeoJson);
}

std::unique_ptr<Report> MakeKmlReport(Output& out, const ReportStyle& style) {
    return std::make_unique<MapReport>(out, style, MapFormat::Kml);
}

}  // namespace corvala::cli
