#include "cli/map_reports.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "cli/json_writer.h"
#include "engine/values/altitude.h"
#include "engine/values/display.h"
#include "engine/model/failures.h"
#include "engine/present/shapes.h"

namespace corvala::cli {

namespace {

// Text that waits for its place in the document (a file's findings outside
// its airspace blocks, which come before the file's end): in memory up to a
// few megabytes, then in an unnamed temporary file.
class Pending {
public:
    static constexpr std::size_t kMemoryLimit = std::size_t(4) << 20;

    Pending() = default;
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;
    ~Pending() { Reset(); }

    void Append(std::string_view text) {
        if (file_ == nullptr && memory_.size() + text.size() > kMemoryLimit) {
            file_ = std::tmpfile();
            if (file_ == nullptr) throw Failure("Cannot keep the map's findings in a temporary file");
            Put(memory_);
            std::string().swap(memory_);
        }
        if (file_ != nullptr) {
            Put(text);
        } else {
            memory_.append(text);
        }
    }
    bool Empty() const noexcept { return memory_.empty() && file_ == nullptr; }

    void CopyTo(Output& out) {
        if (file_ == nullptr) {
            out.Write(memory_);
            return;
        }
        // The last buffered block is written now: a failure here loses it.
        if (std::fflush(file_) != 0) throw Failure("Cannot keep the map's findings in a temporary file");
        std::rewind(file_);
        char buffer[1 << 16];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) out.Write(std::string_view(buffer, got));
        if (std::ferror(file_)) throw Failure("Cannot read back the map's findings kept in a temporary file");
    }

    void Reset() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
        memory_.clear();
    }

private:
    void Put(std::string_view text) {
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
            throw Failure("Cannot keep the map's findings in a temporary file");
    }

    std::string memory_;
    std::FILE* file_ = nullptr;
};

// A finding kept until its block ends: the run's views are valid only
// during the call.
struct Held {
    std::int32_t line = 0;
    Severity severity = Severity::Error;
    std::string_view rule;  // static storage
    std::string command;
    std::string message;
};

std::optional<Severity> Worst(std::span<const Held> findings) {
    std::optional<Severity> worst;
    for (const Held& f : findings)
        if (!worst || f.severity < *worst) worst = f.severity;
    return worst;
}

// A limit as a map shows it: the text, and its height in feet and
// reference when it has both.
struct Limit {
    bool present = false;
    std::string text;
    std::optional<std::int64_t> feet;
    std::string_view reference;
};

Limit ReadLimit(std::int32_t line, const std::string& text) {
    Limit limit;
    if (line == 0) return limit;
    limit.present = true;
    limit.text = DecodeForDisplay(text);
    const Altitude altitude = ReadAltitude(text);
    switch (altitude.kind) {
    case AltitudeKind::Ground:
        limit.reference = "GND";
        break;
    case AltitudeKind::FlightLevel:
    case AltitudeKind::Standard:
        limit.reference = "STD";
        break;
    case AltitudeKind::AboveMsl:
        limit.reference = "MSL";
        break;
    case AltitudeKind::AboveGround:
        limit.reference = "GND";
        break;
    case AltitudeKind::Unlimited:
    case AltitudeKind::Unreadable:
        return limit;
    }
    if (std::isfinite(altitude.feet) && std::abs(altitude.feet) < 1e15) limit.feet = std::llround(altitude.feet);
    return limit;
}

// The blocks of each file with the run's findings: a finding comes before
// the verdict of its line, so the findings that arrive before a line's
// verdict belong to the block that holds that line. Findings outside every
// airspace block (the preamble, terrain blocks, the file as a whole) go to
// the file.
class MapReport : public Report {
public:
    using Report::Report;

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        blocks_.reset();
        pending_.clear();
        current_.clear();
        path_ = DecodeForDisplay(name);
        StartFile();
    }
    void Reported(const Finding& finding) override {
        Held held{finding.line, finding.severity, IdOf(finding.rule), std::string(finding.command), finding.message};
        if (finding.line == 0) {
            FileFinding(held);
        } else {
            pending_.push_back(std::move(held));
        }
    }
    void LineChecked(const LineVerdict& verdict) override {
        // The file's record set is known once its lines come.
        if (!blocks_) blocks_.emplace(style_.fileChecks ? *style_.fileChecks : style_.checks);
        if (blocks_->Line(verdict.line, verdict.raw)) {
            Block(blocks_->Block(), current_);
            current_.clear();
        }
        if (blocks_->InAirspace()) {
            for (Held& held : pending_) current_.push_back(std::move(held));
        } else {
            for (const Held& held : pending_) FileFinding(held);
        }
        pending_.clear();
    }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        if (blocks_ && blocks_->Finish()) Block(blocks_->Block(), current_);
        current_.clear();
        for (const Held& held : pending_) FileFinding(held);
        pending_.clear();
        EndFile(&end, {});
    }
    void FileFailed(std::string_view message) override {
        // The block being read when the file failed is left out.
        current_.clear();
        pending_.clear();
        EndFile(nullptr, DecodeForDisplay(message));
    }

protected:
    virtual void StartFile() {}
    virtual void Block(const MapBlock& block, std::span<const Held> findings) = 0;
    virtual void FileFinding(const Held& finding) = 0;
    // `end` null: the file failed with `failure`.
    virtual void EndFile(const RunEnd* end, const std::string& failure) = 0;

    std::string path_;

private:
    std::optional<MapBlocks> blocks_;
    std::vector<Held> pending_;
    std::vector<Held> current_;
};

// ---------------------------------------------------------------- GeoJSON

// Appends `value` with 7 decimals ("-0.0000000" as "0.0000000").
void AppendDegrees(std::string& text, double value) {
    char digits[64];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 7);
    std::string_view written = ec == std::errc() ? std::string_view(digits, static_cast<std::size_t>(end - digits))
                                                 : std::string_view("0.0000000");
    if (written == "-0.0000000") written.remove_prefix(1);
    text.append(written);
}

// {"type": "FeatureCollection", "features": [...], "properties": {"files":
// [...]}}: the features as the blocks end; each file's entry (its findings
// outside the airspace blocks, then its counts) waits in a Pending until
// the features are written.
class GeoJsonReport final : public MapReport {
public:
    GeoJsonReport(Output& out, const ReportStyle& style)
        : MapReport(out, style), writer_([this](std::string_view text) { out_.Write(text); }),
          // The items of "files": inside the document, "properties", "files".
          files_([this](std::string_view text) { filesText_.Append(text); }, 3) {
        writer_.BeginObject();
        writer_.Key("type");
        writer_.String("FeatureCollection");
        writer_.Key("features");
        writer_.BeginArray();
    }

    void Finish() override {
        writer_.EndArray();
        writer_.Key("properties");
        writer_.BeginObject();
        writer_.Key("files");
        if (filesText_.Empty()) {
            writer_.Raw("[]");
        } else {
            writer_.Raw("[");
            filesText_.CopyTo(out_);
            out_.Write("\n");
            out_.Write(JsonWriter::Indent(2));
            out_.Write("]");
        }
        writer_.EndObject();
        writer_.EndObject();
        out_.Put('\n');
    }

private:
    void StartFile() override {
        files_.BeginObject();
        files_.Key("file");
        files_.String(path_);
        files_.Key("findings");
        files_.BeginArray();
    }
    void FileFinding(const Held& finding) override { WriteFinding(files_, finding); }
    void EndFile(const RunEnd* end, const std::string& failure) override {
        files_.EndArray();
        if (end == nullptr) {
            files_.Key("failure");
            files_.String(failure);
        } else {
            files_.Key("line_count");
            files_.Integer(end->lineCount);
            files_.Key("error_count");
            files_.Integer(end->errors);
            files_.Key("warning_count");
            files_.Integer(end->warnings);
            files_.Key("note_count");
            files_.Integer(end->notes);
        }
        files_.EndObject();
    }

    static void WriteFinding(JsonWriter& w, const Held& f) {
        w.BeginObject();
        w.Key("line");
        w.Integer(f.line);
        w.Key("command");
        w.String(DecodeForDisplay(f.command));
        w.Key("message");
        w.String(DecodeForDisplay(f.message));
        w.Key("severity");
        w.String(SeverityName(f.severity));
        w.Key("rule");
        w.String(f.rule);
        w.EndObject();
    }

    void Ring(const std::vector<GeoPoint>& points) {
        writer_.BeginArray();
        for (const GeoPoint& p : points) {
            point_.assign("[");
            AppendDegrees(point_, p.longitude);
            point_.append(", ");
            AppendDegrees(point_, p.latitude);
            point_.push_back(']');
            writer_.Raw(point_);
        }
        writer_.EndArray();
    }

    void Geometry(const MapShape& shape) {
        if (shape.kind == ShapeKind::None) {
            writer_.Raw("null");
            return;
        }
        const bool area = shape.kind == ShapeKind::Area;
        const bool multi = shape.parts.size() > 1;
        writer_.BeginObject();
        writer_.Key("type");
        writer_.String(area ? (multi ? "MultiPolygon" : "Polygon") : (multi ? "MultiLineString" : "LineString"));
        writer_.Key("coordinates");
        if (area) {
            if (multi) writer_.BeginArray();
            for (const auto& ring : shape.parts) {
                writer_.BeginArray();
                Ring(ring);
                writer_.EndArray();
            }
            if (multi) writer_.EndArray();
        } else if (multi) {
            writer_.BeginArray();
            for (const auto& line : shape.parts) Ring(line);
            writer_.EndArray();
        } else {
            Ring(shape.parts[0]);
        }
        writer_.EndObject();
    }

    void OptionalText(std::string_view key, bool present, const std::string& text) {
        writer_.Key(key);
        if (present) {
            writer_.String(DecodeForDisplay(text));
        } else {
            writer_.Raw("null");
        }
    }

    void LimitValue(std::string_view key, const Limit& limit) {
        writer_.Key(key);
        if (!limit.present) {
            writer_.Raw("null");
            return;
        }
        writer_.BeginObject();
        writer_.Key("text");
        writer_.String(limit.text);
        writer_.Key("feet");
        if (limit.feet) {
            writer_.Integer(*limit.feet);
        } else {
            writer_.Raw("null");
        }
        writer_.Key("reference");
        if (limit.feet) {
            writer_.String(limit.reference);
        } else {
            writer_.Raw("null");
        }
        writer_.EndObject();
    }

    void Block(const MapBlock& block, std::span<const Held> findings) override {
        const BlockAnalysis& a = block.analysis;
        writer_.BeginObject();
        writer_.Key("type");
        writer_.String("Feature");
        writer_.Key("geometry");
        Geometry(block.shape);
        writer_.Key("properties");
        writer_.BeginObject();
        writer_.Key("file");
        writer_.String(path_);
        writer_.Key("line");
        writer_.Integer(a.firstLine);
        OptionalText("name", a.nameLine != 0, a.name);
        OptionalText("class", true, a.airspaceClass);
        OptionalText("type", !block.type.empty(), block.type);
        LimitValue("lower", ReadLimit(a.lowerLine, a.lower));
        LimitValue("upper", ReadLimit(a.upperLine, a.upper));
        OptionalText("frequency", !block.frequency.empty(), block.frequency);
        OptionalText("station", !block.station.empty(), block.station);
        writer_.Key("severity");
        if (const auto worst = Worst(findings)) {
            writer_.String(SeverityName(*worst));
        } else {
            writer_.Raw("null");
        }
        writer_.Key("findings");
        writer_.BeginArray();
        for (const Held& f : findings) WriteFinding(writer_, f);
        writer_.EndArray();
        writer_.EndObject();
        writer_.EndObject();
    }

    JsonWriter writer_;
    Pending filesText_;
    JsonWriter files_;
    std::string point_;
};

// ---------------------------------------------------------------- KML

// `text` (valid UTF-8) as XML character data: the markup characters as
// references, the characters XML 1.0 does not allow (controls but tab, line
// feed and carriage return; U+FFFE and U+FFFF) as U+FFFD.
std::string Xml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        default:
            break;
        }
        if (b < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            out += "\xEF\xBF\xBD";
        } else if (b == 0xEF && text.substr(i, 2) == "\xEF\xBF" && i + 2 < text.size() &&
                   (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
            out += "\xEF\xBF\xBD";
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Bytes of the file as XML character data.
std::string XmlText(std::string_view bytes) { return Xml(DecodeForDisplay(bytes)); }

// The description is HTML, which map programs render: a file's texts are
// escaped for HTML first, then the whole for XML.
std::string FindingLine(const Held& f) {
    std::string text = f.line > 0 ? "line " + std::to_string(f.line) + ": " : std::string();
    text += SeverityName(f.severity);
    text += ": ";
    text += DecodeForDisplay(f.message);
    text += " [";
    text += f.rule;
    text += "]";
    return Xml(Xml(text)) + "&lt;br&gt;\n";
}

std::string_view StyleOf(std::optional<Severity> worst) {
    if (!worst) return "#clean";
    switch (*worst) {
    case Severity::Error:
        return "#error";
    case Severity::Warning:
        return "#warning";
    case Severity::Note:
        break;
    }
    return "#note";
}

std::string LimitText(const Limit& limit) {
    if (!limit.present) return "(none)";
    std::string text = limit.text;
    if (limit.feet)
        text += " (" + std::to_string(*limit.feet) + " ft " + std::string(limit.reference) + ")";
    return text;
}

// One KML 2.2 document: a style per worst severity, a Folder per file with
// a Placemark per airspace block, and at each Folder's end a Folder of the
// file's own findings and counts (a Folder's description would have to come
// before its Placemarks, and the findings of the file come last).
class KmlReport final : public MapReport {
public:
    KmlReport(Output& out, const ReportStyle& style) : MapReport(out, style) {
        out_.Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                   "<Document>\n"
                   "<name>corvala-check</name>\n");
        // Colours are aabbggrr: red, orange, green; fills half transparent.
        WriteStyle("error", "ff0000ff", "7f0000ff");
        WriteStyle("warning", "ff0080ff", "7f0080ff");
        WriteStyle("note", "ff00a000", "7f00a000");
        WriteStyle("clean", "ff00a000", "7f00a000");
    }

    void Finish() override { out_.Write("</Document>\n</kml>\n"); }

private:
    void WriteStyle(std::string_view id, std::string_view line, std::string_view fill) {
        out_.Write("<Style id=\"");
        out_.Write(id);
        out_.Write("\"><LineStyle><color>");
        out_.Write(line);
        out_.Write("</color><width>2</width></LineStyle><PolyStyle><color>");
        out_.Write(fill);
        out_.Write("</color></PolyStyle></Style>\n");
    }

    void StartFile() override {
        fileFindings_.Reset();
        out_.Write("<Folder>\n<name>");
        out_.Write(Xml(path_));
        out_.Write("</name>\n");
    }
    void FileFinding(const Held& finding) override { fileFindings_.Append(FindingLine(finding)); }
    void EndFile(const RunEnd* end, const std::string& failure) override {
        out_.Write("<Folder>\n<name>Findings of the file</name>\n<description>");
        if (end == nullptr) {
            out_.Write(Xml(Xml(failure)));
            out_.Write("&lt;br&gt;\n");
        } else {
            out_.Write(std::to_string(end->lineCount) + " lines, " + std::to_string(end->errors) + " errors, " +
                       std::to_string(end->warnings) + " warnings, " + std::to_string(end->notes) +
                       " notes&lt;br&gt;\n");
        }
        fileFindings_.CopyTo(out_);
        fileFindings_.Reset();
        out_.Write("</description>\n</Folder>\n</Folder>\n");
    }

    void Data(std::string_view name, const std::string& value) {
        out_.Write("<Data name=\"");
        out_.Write(name);
        out_.Write("\"><value>");
        out_.Write(value);
        out_.Write("</value></Data>\n");
    }

    void Coordinates(const std::vector<GeoPoint>& points) {
        text_.assign("<coordinates>");
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (i > 0) text_.push_back(' ');
            AppendDegrees(text_, points[i].longitude);
            text_.push_back(',');
            AppendDegrees(text_, points[i].latitude);
        }
        text_.append("</coordinates>");
        out_.Write(text_);
    }

    void Geometry(const MapShape& shape) {
        if (shape.kind == ShapeKind::None) return;
        const bool multi = shape.parts.size() > 1;
        if (multi) out_.Write("<MultiGeometry>\n");
        for (const auto& part : shape.parts) {
            if (shape.kind == ShapeKind::Area) {
                out_.Write("<Polygon><tessellate>1</tessellate><altitudeMode>clampToGround</altitudeMode>"
                           "<outerBoundaryIs><LinearRing>");
                Coordinates(part);
                out_.Write("</LinearRing></outerBoundaryIs></Polygon>\n");
            } else {
                out_.Write("<LineString><tessellate>1</tessellate><altitudeMode>clampToGround</altitudeMode>");
                Coordinates(part);
                out_.Write("</LineString>\n");
            }
        }
        if (multi) out_.Write("</MultiGeometry>\n");
    }

    void Block(const MapBlock& block, std::span<const Held> findings) override {
        const BlockAnalysis& a = block.analysis;
        const Limit lower = ReadLimit(a.lowerLine, a.lower);
        const Limit upper = ReadLimit(a.upperLine, a.upper);
        const auto worst = Worst(findings);
        out_.Write("<Placemark>\n<name>");
        out_.Write(a.nameLine != 0 ? XmlText(a.name) : "AC line " + std::to_string(a.firstLine));
        out_.Write("</name>\n<description>");
        auto line = [&](std::string_view label, const std::string& text) {
            out_.Write(label);
            out_.Write(Xml(Xml(text)));
            out_.Write("&lt;br&gt;\n");
        };
        line("Class ", DecodeForDisplay(a.airspaceClass));
        if (!block.type.empty()) line("Type ", DecodeForDisplay(block.type));
        line("Upper ", LimitText(upper));
        line("Lower ", LimitText(lower));
        if (!block.frequency.empty()) line("Frequency ", DecodeForDisplay(block.frequency));
        if (!block.station.empty()) line("Station ", DecodeForDisplay(block.station));
        line("File ", path_ + ", line " + std::to_string(a.firstLine));
        if (block.shape.kind == ShapeKind::None) line("", "No shape could be drawn.");
        for (const Held& f : findings) out_.Write(FindingLine(f));
        out_.Write("</description>\n<styleUrl>");
        out_.Write(StyleOf(worst));
        out_.Write("</styleUrl>\n<ExtendedData>\n");
        Data("file", Xml(path_));
        Data("line", std::to_string(a.firstLine));
        Data("class", XmlText(a.airspaceClass));
        if (!block.type.empty()) Data("type", XmlText(block.type));
        if (lower.present) Data("lower", Xml(LimitText(lower)));
        if (upper.present) Data("upper", Xml(LimitText(upper)));
        if (!block.frequency.empty()) Data("frequency", XmlText(block.frequency));
        if (!block.station.empty()) Data("station", XmlText(block.station));
        Data("severity", worst ? std::string(SeverityName(*worst)) : std::string("none"));
        Data("findings", std::to_string(findings.size()));
        out_.Write("</ExtendedData>\n");
        Geometry(block.shape);
        out_.Write("</Placemark>\n");
    }

    Pending fileFindings_;
    std::string text_;
};

}  // namespace

std::string Degrees(double value) {
    std::string text;
    AppendDegrees(text, value);
    return text;
}

std::unique_ptr<Report> MakeGeoJsonReport(Output& out, const ReportStyle& style) {
    return std::make_unique<GeoJsonReport>(out, style);
}

std::unique_ptr<Report> MakeKmlReport(Output& out, const ReportStyle& style) {
    return std::make_unique<KmlReport>(out, style);
}

}  // namespace corvala::cli
