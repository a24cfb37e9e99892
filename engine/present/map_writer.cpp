#include "engine/present/map_writer.h"

#include <charconv>
#include <cmath>
#include <span>
#include <vector>

#include "engine/values/altitude.h"
#include "engine/values/display.h"
#include "engine/model/failures.h"
#include "engine/present/json_writer.h"
#include "engine/present/shapes.h"

namespace corvala {

namespace {

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
class MapDocument : public MapWriter {
public:
    using MapWriter::MapWriter;

    void BeginFile(std::string_view name) override {
        blocks_.reset();
        pending_.clear();
        current_.clear();
        path_ = DecodeForDisplay(name);
        title_ = name == "-" ? std::string("standard input") : std::string(name);
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
        if (!blocks_) blocks_.emplace(fileChecks_ ? *fileChecks_ : checks_);
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
    // The file as messages name it.
    std::string title_;

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
// outside the airspace blocks, then its counts) waits in a Spill until the
// features are written.
class GeoJsonWriter final : public MapDocument {
public:
    GeoJsonWriter(TextSink out, const CheckSettings& checks)
        : MapDocument(std::move(out), checks), writer_([this](std::string_view text) { out_(text); }),
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
            // A failure to keep the entries fails the document here, before
            // any of them is written.
            filesText_.Complete();
            writer_.Raw("[");
            filesText_.CopyTo(out_);
            out_("\n");
            out_(JsonWriter::Indent(2));
            out_("]");
        }
        writer_.EndObject();
        writer_.EndObject();
        out_("\n");
    }

private:
    // Once the entries cannot be kept, nothing more is written to them: the
    // document fails at its end.
    void StartFile() override {
        if (!filesText_.Whole()) return;
        filesText_.Retitle(title_);
        files_.BeginObject();
        files_.Key("file");
        files_.String(path_);
        files_.Key("findings");
        files_.BeginArray();
    }
    void FileFinding(const Held& finding) override {
        if (filesText_.Whole()) WriteFinding(files_, finding);
    }
    void EndFile(const RunEnd* end, const std::string& failure) override {
        if (!filesText_.Whole()) return;
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
            point_.clear();
            point_.push_back('[');
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
    Spill filesText_;
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
class KmlWriter final : public MapDocument {
public:
    KmlWriter(TextSink out, const CheckSettings& checks) : MapDocument(std::move(out), checks) {
        out_("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                   "<Document>\n"
                   "<name>corvala-check</name>\n");
        // Colours are aabbggrr: red, orange, green; fills half transparent.
        WriteStyle("error", "ff0000ff", "7f0000ff");
        WriteStyle("warning", "ff0080ff", "7f0080ff");
        WriteStyle("note", "ff00a000", "7f00a000");
        WriteStyle("clean", "ff00a000", "7f00a000");
    }

    void Finish() override { out_("</Document>\n</kml>\n"); }

private:
    void WriteStyle(std::string_view id, std::string_view line, std::string_view fill) {
        out_("<Style id=\"");
        out_(id);
        out_("\"><LineStyle><color>");
        out_(line);
        out_("</color><width>2</width></LineStyle><PolyStyle><color>");
        out_(fill);
        out_("</color></PolyStyle></Style>\n");
    }

    void StartFile() override {
        fileFindings_.Start(title_);
        out_("<Folder>\n<name>");
        out_(Xml(path_));
        out_("</name>\n");
    }
    void FileFinding(const Held& finding) override { fileFindings_.Append(FindingLine(finding)); }
    void EndFile(const RunEnd* end, const std::string& failure) override {
        // A failure to keep the findings fails the file before any of its
        // end is written; the failure then says why they are missing.
        bool kept = fileFindings_.Whole();
        if (end != nullptr) {
            fileFindings_.Complete();
        } else if (kept) {
            try {
                fileFindings_.Complete();
            } catch (const Failure&) {
                kept = false;  // the file failed already: its findings are left out
            }
        }
        out_("<Folder>\n<name>Findings of the file</name>\n<description>");
        if (end == nullptr) {
            out_(Xml(Xml(failure)));
            out_("&lt;br&gt;\n");
        } else {
            out_(std::to_string(end->lineCount) + " lines, " + std::to_string(end->errors) + " errors, " +
                       std::to_string(end->warnings) + " warnings, " + std::to_string(end->notes) +
                       " notes&lt;br&gt;\n");
        }
        if (kept) fileFindings_.CopyTo(out_);
        fileFindings_.Reset();
        out_("</description>\n</Folder>\n</Folder>\n");
    }

    void Data(std::string_view name, const std::string& value) {
        out_("<Data name=\"");
        out_(name);
        out_("\"><value>");
        out_(value);
        out_("</value></Data>\n");
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
        out_(text_);
    }

    void Geometry(const MapShape& shape) {
        if (shape.kind == ShapeKind::None) return;
        const bool multi = shape.parts.size() > 1;
        if (multi) out_("<MultiGeometry>\n");
        for (const auto& part : shape.parts) {
            if (shape.kind == ShapeKind::Area) {
                out_("<Polygon><tessellate>1</tessellate><altitudeMode>clampToGround</altitudeMode>"
                           "<outerBoundaryIs><LinearRing>");
                Coordinates(part);
                out_("</LinearRing></outerBoundaryIs></Polygon>\n");
            } else {
                out_("<LineString><tessellate>1</tessellate><altitudeMode>clampToGround</altitudeMode>");
                Coordinates(part);
                out_("</LineString>\n");
            }
        }
        if (multi) out_("</MultiGeometry>\n");
    }

    void Block(const MapBlock& block, std::span<const Held> findings) override {
        const BlockAnalysis& a = block.analysis;
        const Limit lower = ReadLimit(a.lowerLine, a.lower);
        const Limit upper = ReadLimit(a.upperLine, a.upper);
        const auto worst = Worst(findings);
        out_("<Placemark>\n<name>");
        out_(a.nameLine != 0 ? XmlText(a.name) : "AC line " + std::to_string(a.firstLine));
        out_("</name>\n<description>");
        auto line = [&](std::string_view label, const std::string& text) {
            out_(label);
            out_(Xml(Xml(text)));
            out_("&lt;br&gt;\n");
        };
        line("Class ", DecodeForDisplay(a.airspaceClass));
        if (!block.type.empty()) line("Type ", DecodeForDisplay(block.type));
        line("Upper ", LimitText(upper));
        line("Lower ", LimitText(lower));
        if (!block.frequency.empty()) line("Frequency ", DecodeForDisplay(block.frequency));
        if (!block.station.empty()) line("Station ", DecodeForDisplay(block.station));
        line("File ", path_ + ", line " + std::to_string(a.firstLine));
        if (block.shape.kind == ShapeKind::None) line("", "No shape could be drawn.");
        for (const Held& f : findings) out_(FindingLine(f));
        out_("</description>\n<styleUrl>");
        out_(StyleOf(worst));
        out_("</styleUrl>\n<ExtendedData>\n");
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
        out_("</ExtendedData>\n");
        Geometry(block.shape);
        out_("</Placemark>\n");
    }

    Spill fileFindings_;
    std::string text_;
};

}  // namespace

std::string Degrees(double value) {
    std::string text;
    AppendDegrees(text, value);
    return text;
}

std::unique_ptr<MapWriter> MapWriter::Make(MapFormat format, TextSink out, const CheckSettings& checks) {
    if (format == MapFormat::Kml) return std::make_unique<KmlWriter>(std::move(out), checks);
    return std::make_unique<GeoJsonWriter>(std::move(out), checks);
}

std::optional<MapFormat> MapFormatOfName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos) return std::nullopt;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (extension == "geojson" || extension == "json") return MapFormat::GeoJson;
    if (extension == "kml") return MapFormat::Kml;
    return std::nullopt;
}

}  // namespace corvala
