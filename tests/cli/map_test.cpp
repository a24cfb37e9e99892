// The map formats of corvala-check: the GeoJSON read back as JSON (features,
// properties, null shapes, the file's own findings), the KML's styles and
// escaping, and both read by a real GIS library (GDAL's ogrinfo) on real
// files, as many features as airspace blocks.
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_checker.h"

namespace corvala::cli::testing {
namespace {

using nlohmann::json;

json GeoJson(const std::vector<std::string>& args, int status) {
    std::vector<std::string> all = {"--format=geojson"};
    all.insert(all.end(), args.begin(), args.end());
    const RunResult r = RunChecker(all);
    EXPECT_EQ(r.status, status) << r.err;
    return json::parse(r.out);
}

const json& Feature(const json& doc, int line) {
    for (const json& f : doc["features"])
        if (f["properties"]["line"] == line) return f;
    static const json none;
    ADD_FAILURE() << "no feature for line " << line;
    return none;
}

std::vector<std::string> Rules(const json& findings) {
    std::vector<std::string> rules;
    for (const json& f : findings) rules.push_back(f["rule"]);
    return rules;
}

// blocks.txt: "Two points" (line 4), "Bow tie" (10, crosses itself), "No
// upper limit" (19, a circle), "Inverted" (24, with AY, AF and a line
// that fails).
TEST(GeoJson, BlocksWithShapesLimitsAndFindings) {
    const json doc = GeoJson({"--blocks", "blocks.txt"}, 1);
    EXPECT_EQ(doc["type"], "FeatureCollection");
    ASSERT_EQ(doc["features"].size(), 4u);

    const json& two = Feature(doc, 4);
    EXPECT_TRUE(two["geometry"].is_null());
    EXPECT_EQ(Rules(two["properties"]["findings"]), std::vector<std::string>{"too-few-points"});
    EXPECT_EQ(two["properties"]["upper"], json::parse(R"({"text": "FL95", "feet": 9500, "reference": "STD"})"));
    EXPECT_EQ(two["properties"]["lower"], json::parse(R"({"text": "2500ft MSL", "feet": 2500, "reference": "MSL"})"));

    const json& bow = Feature(doc, 10);
    EXPECT_EQ(bow["geometry"]["type"], "Polygon");
    EXPECT_EQ(bow["properties"]["severity"], "error");
    EXPECT_EQ(Rules(bow["properties"]["findings"]), std::vector<std::string>{"self-intersection"});
    EXPECT_EQ(bow["properties"]["class"], "C");
    EXPECT_EQ(bow["properties"]["file"], "blocks.txt");

    const json& circle = Feature(doc, 19);
    ASSERT_EQ(circle["geometry"]["type"], "Polygon");
    const json& ring = circle["geometry"]["coordinates"][0];
    EXPECT_EQ(ring.front(), ring.back());
    EXPECT_TRUE(circle["properties"]["upper"].is_null());
    EXPECT_EQ(circle["properties"]["lower"],
              json::parse(R"({"text": "3000ft AGL", "feet": 3000, "reference": "GND"})"));
    EXPECT_TRUE(circle["properties"]["type"].is_null());

    const json& inverted = Feature(doc, 24);
    EXPECT_EQ(inverted["properties"]["type"], "R");
    EXPECT_EQ(inverted["properties"]["frequency"], "123.455");
    EXPECT_TRUE(inverted["properties"]["station"].is_null());
    EXPECT_EQ(inverted["properties"]["severity"], "error");

    const json& file = doc["properties"]["files"][0];
    EXPECT_EQ(file["file"], "blocks.txt");
    // The header's note names line 1, before the first block.
    ASSERT_EQ(file["findings"].size(), 1u);
    EXPECT_EQ(file["findings"][0]["rule"], "extended-rules-suggested");
    EXPECT_GT(file["error_count"], 0);
}

// Without the block checks the shapes are the same and only the line
// checks' findings are shown.
TEST(GeoJson, LineChecksAloneStillGiveShapes) {
    const json doc = GeoJson({"blocks.txt"}, 1);
    const json withBlocks = GeoJson({"--blocks", "blocks.txt"}, 1);
    ASSERT_EQ(doc["features"].size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(doc["features"][i]["geometry"], withBlocks["features"][i]["geometry"]) << i;
    EXPECT_TRUE(Feature(doc, 10)["properties"]["severity"].is_null());
    // AY, AF and XY are no records of the classic rules.
    EXPECT_EQ(Rules(Feature(doc, 24)["properties"]["findings"]),
              (std::vector<std::string>{"not-implemented", "not-implemented", "not-implemented"}));
}

TEST(GeoJson, UnreadableCentreGivesNullGeometryWithItsFindings) {
    test::ScratchDir dir;
    const std::string path = dir.Write("centre.txt",
                                       "XY before the first block\n"
                                       "AC D\nAN Somewhere\nAH FL100\nAL GND\n"
                                       "V X=52:00:00 Q 013:00:00 E\nDC 5\n"
                                       "AC D\nAN Square\nAH FL100\nAL GND\n"
                                       "DP 52:00:00 N 013:00:00 E\nDP 52:00:00 N 014:00:00 E\n"
                                       "DP 53:00:00 N 014:00:00 E\nDP 53:00:00 N 013:00:00 E\n");
    for (const char* checks : {"--blocks", "--rules=classic"}) {
        SCOPED_TRACE(checks);
        const json doc = GeoJson({checks, path}, 1);
        ASSERT_EQ(doc["features"].size(), 2u);
        const json& centre = Feature(doc, 2);
        EXPECT_TRUE(centre["geometry"].is_null());
        const json& findings = centre["properties"]["findings"];
        ASSERT_FALSE(findings.empty());
        EXPECT_EQ(findings[0]["line"], 6);
        EXPECT_EQ(findings[0]["severity"], "error");

        const json& square = Feature(doc, 8)["geometry"];
        EXPECT_EQ(square, json::parse(R"({"type": "Polygon", "coordinates": [[[13.0, 52.0], [14.0, 52.0],
                                         [14.0, 53.0], [13.0, 53.0], [13.0, 52.0]]]})"));
        // The line before the first block belongs to the file.
        const json& file = doc["properties"]["files"][0]["findings"];
        ASSERT_EQ(file.size(), 1u);
        EXPECT_EQ(file[0]["line"], 1);
        EXPECT_EQ(file[0]["rule"], "not-implemented");
    }
    // The text keeps 7 decimals.
    const RunResult r = RunChecker({"--format=geojson", path});
    EXPECT_NE(r.out.find("[13.0000000, 52.0000000]"), std::string::npos);
}

// A centre that passes its line check but lies beyond the pole: the block
// checks say why there is no shape.
TEST(GeoJson, CentreBeyondThePoleGivesNullGeometry) {
    test::ScratchDir dir;
    const std::string path = dir.Write("pole.txt", "AC D\nAN Beyond\nAH FL100\nAL GND\nV X=95:00:00 N 013:00:00 E\nDC 5\n");
    const json doc = GeoJson({"--blocks", path}, 0);
    const json& feature = Feature(doc, 1);
    EXPECT_TRUE(feature["geometry"].is_null());
    EXPECT_EQ(Rules(feature["properties"]["findings"]), std::vector<std::string>{"geometry-skipped"});
    EXPECT_EQ(feature["properties"]["severity"], "note");
}

TEST(GeoJson, SeveralFilesInOneCollection) {
    const RunResult r = RunChecker({"--format=geojson", "clean.txt", "missing.txt", "blocks.txt"});
    EXPECT_EQ(r.status, 2);
    const json doc = json::parse(r.out);
    const json& files = doc["properties"]["files"];
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1]["file"], "missing.txt");
    EXPECT_TRUE(files[1].contains("failure"));
    EXPECT_FALSE(files[1].contains("line_count"));
    EXPECT_EQ(files[2]["line_count"], 33);
    std::size_t fromBlocks = 0;
    for (const json& f : doc["features"]) fromBlocks += f["properties"]["file"] == "blocks.txt";
    EXPECT_EQ(fromBlocks, 4u);
}

TEST(Kml, PlacemarksStylesAndEscaping) {
    test::ScratchDir dir;
    const std::string path = dir.Write("kml.txt",
                                       "AC C\nAN A & B\x01<C>\nAH FL100\nAL GND\n"
                                       "DP 52:00:00 N 013:00:00 E\nDP 52:00:00 N 014:00:00 E\n"
                                       "DP 53:00:00 N 014:00:00 E\nDP 53:00:00 N 013:00:00 E\n"
                                       "AC D\nAH FL100\nAL GND\nDP 52:00:00 N 013:00:00 E\n");
    const RunResult r = RunChecker({"--format=kml", "--blocks", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">", 0),
              0u);
    const std::regex placemark("<Placemark>");
    EXPECT_EQ(std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), placemark), std::sregex_iterator()), 2);
    EXPECT_NE(r.out.find("<name>A &amp; B\xEF\xBF\xBD&lt;C&gt;</name>"), std::string::npos);
    // The first is clean but for the not-closed note, the second has errors
    // (no name, too few points) and no geometry.
    EXPECT_NE(r.out.find("<styleUrl>#note</styleUrl>"), std::string::npos);
    const std::size_t second = r.out.find("<name>AC line 9</name>");
    ASSERT_NE(second, std::string::npos);
    const std::string tail = r.out.substr(second, r.out.find("</Placemark>", second) - second);
    EXPECT_NE(tail.find("<styleUrl>#error</styleUrl>"), std::string::npos);
    EXPECT_EQ(tail.find("<Polygon>"), std::string::npos);
    EXPECT_NE(r.out.find("<coordinates>13.0000000,52.0000000 14.0000000,52.0000000 14.0000000,53.0000000 "
                         "13.0000000,53.0000000 13.0000000,52.0000000</coordinates>"),
              std::string::npos);
    EXPECT_NE(r.out.find("<altitudeMode>clampToGround</altitudeMode>"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 19), "</Document>\n</kml>\n");
}

// ---------------------------------------------------------------- GDAL

// The program's path on PATH, or "" when it is not installed.
std::string OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string candidate = std::string(rest.substr(0, colon)) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return "";
}

// The airspace blocks of a file, counted apart from the checker: lines whose
// command word, after the comment is cut and blanks trimmed, is AC.
int AirspaceBlocks(const std::string& bytes) {
    int count = 0;
    const std::string text = bytes.substr(0, bytes.find('\0'));
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        line = line.substr(0, line.find('*'));
        std::size_t first = 0;
        while (first < line.size() && static_cast<unsigned char>(line[first]) <= 32) ++first;
        if (first < line.size()) {
            const std::string command = line.substr(first, line.find(' ', first) - first);
            if (command.size() == 2 && (command[0] | 0x20) == 'a' && (command[1] | 0x20) == 'c') ++count;
        }
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return count;
}

// The sum of "Feature Count: N" over the layers ogrinfo lists.
int FeatureCount(const std::string& report) {
    int total = 0;
    const std::regex count("Feature Count: ([0-9]+)");
    for (auto it = std::sregex_iterator(report.begin(), report.end(), count); it != std::sregex_iterator(); ++it)
        total += std::stoi((*it)[1]);
    return total;
}

TEST(Gdal, ReadsAFeaturePerAirspaceBlockOfRealFiles) {
    const std::string ogrinfo = OnPath("ogrinfo");
    if (ogrinfo.empty()) GTEST_SKIP() << "ogrinfo not installed (Debian package gdal-bin, see scripts/packages.txt)";
    const std::string corpus = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << "no corpus at " << corpus;
    test::ScratchDir dir;
    // A file of many faults with every check, and one in Latin-1 with the line checks alone.
    const std::pair<const char*, std::vector<std::string>> kRuns[] = {
        {"fr-2022-07-merge.txt", {"--rules=extended", "--blocks"}},
        {"de-2025-06-latin1.txt", {"--rules=classic"}},
    };
    for (const auto& [name, checks] : kRuns) {
        const std::string path = corpus + "/" + name;
        const int blocks = AirspaceBlocks(test::ReadFile(path));
        ASSERT_GT(blocks, 100) << name;
        for (const char* format : {"geojson", "kml"}) {
            SCOPED_TRACE(std::string(name) + " " + format);
            // Standard output goes to an existing file, truncated here.
            const std::string out = dir.Write(std::string("map.") + format, "");
            std::vector<std::string> args = checks;
            args.push_back(std::string("--format=") + format);
            args.push_back(path);
            const RunResult r = RunChecker(args, "", std::nullopt, out);
            EXPECT_EQ(r.status, 1) << r.err;
            const test::ProgramRun info = test::RunProgram(ogrinfo, {"-al", "-so", out});
            EXPECT_EQ(info.exitCode, 0) << info.err;
            EXPECT_EQ(info.err.find("ERROR"), std::string::npos) << info.err;
            EXPECT_EQ(FeatureCount(info.out), blocks) << info.out;
        }
    }
}

}  // namespace
}  // namespace corvala::cli::testing
