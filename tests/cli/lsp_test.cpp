// The language server: its framing, the protocol as a client speaks it to
// the server object, and the built program over its standard input and
// output.
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <unistd.h>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/lsp/framing.h"
#include "cli/lsp/protocol.h"
#include "cli/lsp/server.h"
#include "engine/rules/checks_beyond_lines.h"
#include "engine/values/display.h"
#include "run_checker.h"

namespace corvala::lsp {
namespace {

using Json = nlohmann::json;

// --- Framing ------------------------------------------------------------------

std::vector<Frame> FeedInPieces(std::string_view stream, std::size_t piece) {
    FrameParser parser;
    std::vector<Frame> frames;
    for (std::size_t at = 0; at < stream.size(); at += piece) parser.Feed(stream.substr(at, piece), frames);
    return frames;
}

struct FramingCase {
    const char* name;
    std::string stream;
    // "m:BODY" for a message, "e" for an error.
    std::vector<std::string> expected;
};

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, GivesTheSameFramesHoweverTheBytesArrive) {
    const FramingCase& c = GetParam();
    for (const std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(7), c.stream.size() + 1}) {
        std::vector<std::string> got;
        for (const Frame& frame : FeedInPieces(c.stream, piece))
            got.push_back(frame.kind == Frame::Kind::Message ? "m:" + frame.body : "e");
        EXPECT_EQ(got, c.expected) << "pieces of " << piece;
    }
}

const FramingCase kFramingCases[] = {
    {"One", FrameMessage("{}"), {"m:{}"}},
    {"Two", FrameMessage("[1]") + FrameMessage("{\"a\":2}"), {"m:[1]", "m:{\"a\":2}"}},
    {"OtherHeadersAndCase", "Content-Type: application/vscode-jsonrpc; charset=utf-8\r\ncontent-length:  3\r\n\r\n[7]",
     {"m:[7]"}},
    {"LineFeedsOnly", "Content-Length: 2\n\n{}", {"m:{}"}},
    {"WithoutLength", "X-Other: 1\r\n\r\n" + FrameMessage("{}"), {"e", "m:{}"}},
    {"LengthNotANumber", "Content-Length: 12a\r\n\r\n" + FrameMessage("{}"), {"e", "m:{}"}},
    {"NegativeLength", "Content-Length: -5\r\n\r\n" + FrameMessage("{}"), {"e", "m:{}"}},
    {"TooLargeIsSkipped", "Content-Length: 268435457\r\n\r\n{}", {"e"}},
    {"EmptyBody", "Content-Length: 0\r\n\r\n" + FrameMessage("1"), {"m:", "m:1"}},
    {"HeaderTooLong", std::string(9000, 'x') + "\r\n\r\n" + FrameMessage("{}"), {"e", "e", "m:{}"}},
};

INSTANTIATE_TEST_SUITE_P(Lsp, Framing, ::testing::ValuesIn(kFramingCases),
                         [](const ::testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

TEST(Framing, ATwoGigabyteLengthIsPassedOverWithoutStoringIt) {
    FrameParser parser;
    std::vector<Frame> frames;
    parser.Feed("Content-Length: 2147483648\r\n\r\n", frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, Frame::Kind::Error);
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 2048; ++i) parser.Feed(chunk, frames);
    EXPECT_EQ(frames.size(), 1u);
    parser.Feed(FrameMessage("{}"), frames);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].body, "{}");
}

// --- The protocol, spoken to the server object --------------------------------

// A client: sends messages, keeps what the server sends back.
class Client {
public:
    Client() : server_([this](const std::string& text) { Received(text); }, std::chrono::milliseconds(5)) {}

    Json Request(const std::string& method, Json params = Json::object()) {
        const int id = nextId_++;
        Send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
        for (const Json& message : Taken())
            if (message.contains("id") && message["id"] == id) return message;
        ADD_FAILURE() << "no answer to " << method;
        return Json();
    }
    void Notify(const std::string& method, Json params = Json::object()) {
        Send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
    }
    void Send(const Json& message) { server_.Receive(message.dump()); }
    void SendText(const std::string& text) { server_.Receive(text); }

    void Initialize(Json params = {{"capabilities", Json::object()}}) {
        const Json reply = Request("initialize", std::move(params));
        encoding = reply["result"]["capabilities"]["positionEncoding"];
        Notify("initialized");
    }
    void Open(const std::string& uri, const std::string& text, int version = 1) {
        Notify("textDocument/didOpen",
               {{"textDocument", {{"uri", uri}, {"languageId", "airspace"}, {"version", version}, {"text", text}}}});
    }
    // The newest diagnostics published for `uri`, after the server is idle.
    Json Diagnostics(const std::string& uri) {
        server_.WaitIdle();
        Json newest;
        for (const Json& message : Taken())
            if (message.value("method", "") == "textDocument/publishDiagnostics" && message["params"]["uri"] == uri)
                newest = message["params"];
        return newest;
    }
    std::vector<Json> Taken() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    void Forget() {
        std::lock_guard lock(mutex_);
        received_.clear();
    }
    Server& server() { return server_; }
    std::string encoding;

private:
    void Received(const std::string& text) {
        std::lock_guard lock(mutex_);
        received_.push_back(Json::parse(text));
    }
    std::mutex mutex_;
    std::vector<Json> received_;
    int nextId_ = 1;
    Server server_;
};

const std::string kUri = "file:///nonexistent/corvala/test.txt";

std::vector<std::string> Codes(const Json& published) {
    std::vector<std::string> codes;
    for (const Json& d : published["diagnostics"]) codes.push_back(d["code"]);
    return codes;
}

const Json* FindCode(const Json& published, const std::string& code) {
    for (const Json& d : published["diagnostics"])
        if (d["code"] == code) return &d;
    return nullptr;
}

Json Range(int line, int start, int endLine, int end) {
    return {{"start", {{"line", line}, {"character", start}}}, {"end", {{"line", endLine}, {"character", end}}}};
}

TEST(LspLifecycle, RequestsBeforeInitializeAreRefused) {
    Client client;
    const Json reply = client.Request("textDocument/hover", {{"textDocument", {{"uri", kUri}}}});
    EXPECT_EQ(reply["error"]["code"], -32002);
    client.Initialize();
    EXPECT_TRUE(client.Request("shutdown").contains("result"));
    client.Notify("exit");
    EXPECT_TRUE(client.server().Exited());
    EXPECT_EQ(client.server().ExitStatus(), 0);
}

TEST(LspLifecycle, ExitWithoutShutdownEndsWithStatusOne) {
    Client client;
    client.Initialize();
    client.Notify("exit");
    EXPECT_TRUE(client.server().Exited());
    EXPECT_EQ(client.server().ExitStatus(), 1);
}

struct EncodingCase {
    const char* name;
    Json offered;
    const char* chosen;
};

class PositionEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(PositionEncoding, IsTheFirstOfTheClientsThatTheServerCounts) {
    Client client;
    Json capabilities = Json::object();
    if (!GetParam().offered.is_null()) capabilities["general"]["positionEncodings"] = GetParam().offered;
    client.Initialize({{"capabilities", capabilities}});
    EXPECT_EQ(client.encoding, GetParam().chosen);
}

const EncodingCase kEncodingCases[] = {
    {"NoneOffered", Json(), "utf-16"},
    {"Utf8First", Json::array({"utf-8", "utf-16"}), "utf-8"},
    {"Utf16First", Json::array({"utf-16", "utf-8"}), "utf-16"},
    {"Utf32Skipped", Json::array({"utf-32", "utf-8"}), "utf-8"},
};

INSTANTIATE_TEST_SUITE_P(Lsp, PositionEncoding, ::testing::ValuesIn(kEncodingCases),
                         [](const ::testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

struct BadMessageCase {
    const char* name;
    std::string text;
    int code;  // of the error answer
};

class BadMessage : public ::testing::TestWithParam<BadMessageCase> {};

TEST_P(BadMessage, GetsAProtocolErrorAndTheServerGoesOn) {
    Client client;
    client.Initialize();
    client.Forget();
    client.SendText(GetParam().text);
    const std::vector<Json> taken = client.Taken();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0]["error"]["code"], GetParam().code);
    // Still answering.
    EXPECT_EQ(client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}})["result"], nullptr);
}

const BadMessageCase kBadMessages[] = {
    {"InvalidJson", "{\"jsonrpc\": \"2.0\", \"id\": 1,", -32700},
    {"NotAnObject", "[1, 2]", -32600},
    {"MethodNotAString", R"({"jsonrpc":"2.0","id":3,"method":7})", -32600},
    {"UnknownMethod", R"({"jsonrpc":"2.0","id":3,"method":"textDocument/rename","params":{}})", -32601},
    {"WrongParamTypes", R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":{"textDocument":5}})",
     -32602},
    {"InitializeTwice", R"({"jsonrpc":"2.0","id":3,"method":"initialize","params":{}})", -32600},
};

INSTANTIATE_TEST_SUITE_P(Lsp, BadMessage, ::testing::ValuesIn(kBadMessages),
                         [](const ::testing::TestParamInfo<BadMessageCase>& info) { return info.param.name; });

TEST(LspSync, AChangeOfADocumentNeverOpenedIsLoggedAndRefused) {
    Client client;
    client.Initialize();
    client.Forget();
    client.Notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                                             {"contentChanges", Json::array({{{"text", "AC D\n"}}})}});
    const std::vector<Json> taken = client.Taken();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0]["method"], "window/logMessage");
}

const std::string kBlock = "AC D\nAN Field\nAH FL95\nAL GND\nDP 52:30:00 N 013:20:00 E\nDP 52:31:00 N 013:20:00 E\n"
                           "DP 52:31:00 N 013:21:00 E\n";

TEST(LspDiagnostics, CarryRangesRuleCodesLinksAndRelatedLines) {
    Client client;
    client.Initialize({{"capabilities", Json::object()}, {"initializationOptions", {{"rules", "classic"}}}});
    client.Open(kUri, kBlock + "AC Q\nAN X\nAH 2000ft MSL\nAL 3000ft MSL\nDC 2\nDP 52:61:00 N 013:20:00 E\n");
    const Json published = client.Diagnostics(kUri);
    EXPECT_EQ(published["version"], 1);
    const Json* minutes = FindCode(published, "DP");
    ASSERT_NE(minutes, nullptr);
    EXPECT_EQ((*minutes)["range"], Range(12, 6, 12, 8));
    EXPECT_EQ((*minutes)["severity"], 1);
    EXPECT_EQ((*minutes)["source"], "corvala");
    const Json* inverted = FindCode(published, "limits-inverted");
    ASSERT_NE(inverted, nullptr);
    EXPECT_EQ((*inverted)["codeDescription"]["href"],
              std::string(kDefaultRulesDocument) + "#limits-inverted");
    ASSERT_EQ((*inverted)["relatedInformation"].size(), 1u);
    EXPECT_EQ((*inverted)["relatedInformation"][0]["location"]["range"], Range(9, 0, 9, 13));
    const Json* notClosed = FindCode(published, "not-closed");
    ASSERT_NE(notClosed, nullptr);
    EXPECT_EQ((*notClosed)["severity"], 3);
}

TEST(LspDiagnostics, AChangeThatFixesAFaultClearsItsDiagnostic) {
    Client client;
    client.Initialize();
    client.Open(kUri, "AC D\nAY R\nAN Field\nAL GND\nDP 52:30:00 N 013:20:00 E\n");
    EXPECT_NE(FindCode(client.Diagnostics(kUri), "missing-upper-limit"), nullptr);
    // An incremental change: a line inserted at the start of line 3.
    client.Notify("textDocument/didChange",
                  {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                   {"contentChanges", Json::array({{{"range", Range(3, 0, 3, 0)}, {"text", "AH FL95\n"}}})}});
    const Json published = client.Diagnostics(kUri);
    EXPECT_EQ(published["version"], 2);
    EXPECT_EQ(FindCode(published, "missing-upper-limit"), nullptr);
    const Json symbols = client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}});
    EXPECT_EQ(symbols["result"][0]["detail"], "class D, GND to FL95");
}

TEST(LspDiagnostics, ANewerVersionSupersedesTheOlder) {
    Client client;
    client.Initialize();
    client.Open(kUri, "AC D\n");
    for (int version = 2; version <= 6; ++version)
        client.Notify("textDocument/didChange",
                      {{"textDocument", {{"uri", kUri}, {"version", version}}},
                       {"contentChanges", Json::array({{{"text", "AC " + std::to_string(version) + "\n"}}})}});
    client.server().WaitIdle();
    std::vector<int> versions;
    for (const Json& message : client.Taken())
        if (message.value("method", "") == "textDocument/publishDiagnostics") versions.push_back(message["params"]["version"]);
    ASSERT_FALSE(versions.empty());
    EXPECT_EQ(versions.back(), 6);
    // Each published list belongs to a version the client sent, in order.
    EXPECT_TRUE(std::is_sorted(versions.begin(), versions.end()));
}

TEST(LspDiagnostics, CloseClearsThem) {
    Client client;
    client.Initialize();
    client.Open(kUri, "AC R\n");
    EXPECT_FALSE(client.Diagnostics(kUri)["diagnostics"].empty());
    client.Notify("textDocument/didClose", {{"textDocument", {{"uri", kUri}}}});
    EXPECT_TRUE(client.Diagnostics(kUri)["diagnostics"].empty());
}

TEST(LspDiagnostics, SettingsChooseTheRulesAndTheBlockChecks) {
    Client client;
    client.Initialize();
    client.Open(kUri, "AC R\n");
    EXPECT_FALSE(client.Diagnostics(kUri)["diagnostics"].empty());
    client.Notify("workspace/didChangeConfiguration", {{"settings", {{"corvala", {{"rules", "classic"}, {"blocks", false}}}}}});
    EXPECT_TRUE(client.Diagnostics(kUri)["diagnostics"].empty());
}

// A Latin-1 file: the editor shows it decoded, the server checks its bytes
// and counts positions in the decoded text.
TEST(LspDiagnostics, ALatin1FileIsCheckedByItsBytesAndPositionsCountTheDecodedText) {
    test::ScratchDir dir;
    const std::string path = dir.Write("latin1.txt", "AC D\nAN Caf\xE9 \xE9t\xE9\n");
    const std::string uri = "file://" + path;
    for (const char* encoding : {"utf-16", "utf-8"}) {
        Client client;
        client.Initialize({{"capabilities", {{"general", {{"positionEncodings", Json::array({encoding})}}}}},
                           {"initializationOptions", {{"rules", "extended"}}}});
        client.Open(uri, "AC D\nAN Caf\xC3\xA9 \xC3\xA9t\xC3\xA9\n");
        const Json published = client.Diagnostics(uri);
        const Json* notUtf8 = FindCode(published, "not-utf8");
        ASSERT_NE(notUtf8, nullptr) << encoding;
        const int width = std::string(encoding) == "utf-8" ? 2 : 1;
        EXPECT_EQ((*notUtf8)["range"], Range(1, 6, 1, 6 + width)) << encoding;
        // A change after the Latin-1 character lands where the editor put it.
        client.Notify("textDocument/didChange",
                      {{"textDocument", {{"uri", uri}, {"version", 2}}},
                       {"contentChanges", Json::array({{{"range", Range(1, 6 + width, 1, 7 + width)}, {"text", "!"}}})}});
        const Json symbols = client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}});
        EXPECT_EQ(symbols["result"][0]["name"], "Caf\xC3\xA9!\xC3\xA9t\xC3\xA9") << encoding;
    }
}

TEST(LspDiagnostics, APositionInsideACharacterNeverSplitsIt) {
    Client client;
    client.Initialize();
    // U+1F600 is two UTF-16 units; an edit that starts between them
    // starts before the character, so the character is replaced whole.
    client.Open(kUri, "AN a\xF0\x9F\x98\x80z\n");
    client.Notify("textDocument/didChange",
                  {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                   {"contentChanges", Json::array({{{"range", Range(0, 5, 0, 6)}, {"text", "b"}}})}});
    client.Notify("textDocument/didChange",
                  {{"textDocument", {{"uri", kUri}, {"version", 3}}},
                   {"contentChanges", Json::array({{{"range", Range(0, 0, 0, 2)}, {"text", "AC"}}})}});
    const Json symbols = client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}});
    EXPECT_EQ(symbols["result"][0]["detail"], "class abz");
}

struct HoverCase {
    const char* name;
    std::string text;
    int line, character;
    const char* contains;  // nullptr: no hover
};

class Hover : public ::testing::TestWithParam<HoverCase> {};

TEST_P(Hover, SaysWhatTheValueMeans) {
    const HoverCase& c = GetParam();
    Client client;
    client.Initialize();
    client.Open(kUri, c.text);
    const Json reply = client.Request("textDocument/hover", {{"textDocument", {{"uri", kUri}}},
                                                             {"position", {{"line", c.line}, {"character", c.character}}}});
    if (c.contains == nullptr) {
        EXPECT_TRUE(reply["result"].is_null());
        return;
    }
    const std::string value = reply["result"]["contents"]["value"];
    EXPECT_NE(value.find(c.contains), std::string::npos) << value;
}

const HoverCase kHoverCases[] = {
    {"DecimalDegrees", "DP 52:30:00 N 013:20:00 E\n", 0, 5, "52.500000, 13.333333"},
    {"DecimalMinutesShowSeconds", "DP 52:30.5 N 013:20.0 E\n", 0, 5, "52:30:30 N 013:20:00 E"},
    {"Altitude", "AH 2500ft MSL\n", 0, 5, "2500 ft (762 m) above mean sea level"},
    {"FlightLevel", "AH FL95\n", 0, 4, "9500 ft"},
    {"Class", "AC D\n", 0, 3, "ICAO class D"},
    {"Type", "AY TMZ\n", 0, 3, "Transponder mandatory zone"},
    {"ArcByPoints", "AC D\nV X=52:45:00 N 014:30:00 E\nDB 52:50:00 N 014:30:00 E,52:45:00 N 014:38:16 E\n", 2, 4,
     "clockwise, sweep 89.9"},
    {"Circle", "AC D\nV X=52:45:00 N 014:30:00 E\nDC 5\n", 1 + 1, 3, "radius 5.00 NM"},
    {"Name", "AN Field\n", 0, 4, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Lsp, Hover, ::testing::ValuesIn(kHoverCases),
                         [](const ::testing::TestParamInfo<HoverCase>& info) { return info.param.name; });

TEST(LspSymbols, OnePerBlockNamedByItsAn) {
    Client client;
    client.Initialize();
    client.Open(kUri, "* preamble\n" + kBlock + "\nAC R\nAL GND\nAN Other\n");
    const Json symbols = client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}})["result"];
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0]["name"], "Field");
    EXPECT_EQ(symbols[0]["range"], Range(1, 0, 7, 25));
    EXPECT_EQ(symbols[0]["selectionRange"], Range(2, 3, 2, 8));
    EXPECT_EQ(symbols[1]["name"], "Other");
    EXPECT_EQ(symbols[1]["detail"], "class R, GND to ?");
}

TEST(LspCodeAction, ClosesAnOutlineAndTheDiagnosticGoes) {
    for (const std::string lineEnd : {"\n", "\r\n"}) {
        Client client;
        client.Initialize();
        std::string text = kBlock + "AC D\n";
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + lineEnd.size()))
            text.replace(at, 1, lineEnd);
        client.Open(kUri, text);
        const Json published = client.Diagnostics(kUri);
        const Json* notClosed = FindCode(published, "not-closed");
        ASSERT_NE(notClosed, nullptr);
        const Json reply = client.Request(
            "textDocument/codeAction",
            {{"textDocument", {{"uri", kUri}}}, {"range", (*notClosed)["range"]}, {"context", {{"diagnostics", Json::array({*notClosed})}}}});
        const Json& actions = reply["result"];
        ASSERT_EQ(actions.size(), 1u);
        EXPECT_EQ(actions[0]["kind"], "quickfix");
        EXPECT_EQ(actions[0]["diagnostics"][0], *notClosed);
        const Json edit = actions[0]["edit"]["changes"][kUri][0];
        EXPECT_EQ(edit["range"], Range(7, 0, 7, 0));
        EXPECT_EQ(edit["newText"], "DP 52:30:00 N 013:20:00 E" + lineEnd);
        client.Notify("textDocument/didChange",
                      {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                       {"contentChanges", Json::array({{{"range", edit["range"]}, {"text", edit["newText"]}}})}});
        EXPECT_EQ(FindCode(client.Diagnostics(kUri), "not-closed"), nullptr);
    }
}

// Every fix of a diagnostic is its quick fix (an unsafe one not preferred);
// source.fixAll.corvala, asked for by its kind, mends the whole file.
TEST(LspCodeAction, OffersEachFixAndFixesAllSafeOnes) {
    Client client;
    client.Initialize();
    const std::string text = "*VERSION: 2.1\nAC D\nAY CTR\nAN A\nAL SFC\nAH 2500MSL\nV X=52:00:00 N 013:00:00 E\nDC 2\n"
                             "AF 123.450\n";
    client.Open(kUri, text);
    const Json published = client.Diagnostics(kUri);
    for (const auto& [code, preferred] : {std::pair{"altitude-spelling", true}, {"record-after-geometry", false}}) {
        const Json* diagnostic = FindCode(published, code);
        ASSERT_NE(diagnostic, nullptr) << code;
        const Json actions = client.Request("textDocument/codeAction",
                                            {{"textDocument", {{"uri", kUri}}},
                                             {"range", (*diagnostic)["range"]},
                                             {"context", {{"diagnostics", Json::array({*diagnostic})}}}})["result"];
        ASSERT_EQ(actions.size(), 1u) << code;
        EXPECT_EQ(actions[0]["isPreferred"], preferred) << code;
    }
    const Json all = client.Request("textDocument/codeAction",
                                    {{"textDocument", {{"uri", kUri}}},
                                     {"range", Range(0, 0, 0, 0)},
                                     {"context", {{"diagnostics", Json::array()}, {"only", {"source.fixAll"}}}}})["result"];
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]["kind"], "source.fixAll.corvala");
    const Json edit = all[0]["edit"]["changes"][kUri][0];
    client.Notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                                             {"contentChanges", Json::array({{{"range", edit["range"]},
                                                                              {"text", edit["newText"]}}})}});
    const Json after = client.Diagnostics(kUri);
    EXPECT_EQ(FindCode(after, "altitude-spelling"), nullptr) << after.dump();
    EXPECT_NE(FindCode(after, "record-after-geometry"), nullptr) << "an unsafe fix was applied";
}

// --- Rule links ------------------------------------------------------------------

TEST(RuleLinks, EveryAnchorIsAHeadingOfTheRulesDocument) {
    std::ifstream file(std::string(CORVALA_SOURCE_DIR) + "/docs/rules.md");
    std::vector<std::string> slugs;
    for (std::string line; std::getline(file, line);)
        if (line.rfind("#", 0) == 0) slugs.push_back(HeadingSlug(line));
    ASSERT_FALSE(slugs.empty());
    int linked = 0;
    for (const RuleInfo& rule : AllRules()) {
        const std::string anchor = RuleAnchor(rule.id);
        if (anchor.empty()) continue;
        ++linked;
        EXPECT_NE(std::find(slugs.begin(), slugs.end(), anchor), slugs.end()) << rule.id << " -> " << anchor;
    }
    EXPECT_GE(linked, 40);
}

TEST(RuleLinks, FollowGitHubsHeadingAnchors) {
    EXPECT_EQ(HeadingSlug("#### `airspace-class` (error)"), "airspace-class-error");
    EXPECT_EQ(HeadingSlug("#### missing-upper-limit, missing-lower-limit"), "missing-upper-limit-missing-lower-limit");
    EXPECT_EQ(HeadingSlug("### Coordinates (`DP`, `V X=`)"), "coordinates-dp-v-x");
    // The rules of the block checks each have a section.
    for (const char* rule : {"missing-lower-limit", "not-closed", "limits-inverted", "arc-radius-mismatch"})
        EXPECT_NE(RuleAnchor(rule), "") << rule;
}

TEST(NamedLines, AreTheOtherLinesAMessageNames) {
    EXPECT_EQ(NamedLines("the outline has 2 points (lines 8 to 9)", 4), (std::vector<std::int32_t>{8, 9}));
    EXPECT_EQ(NamedLines("the edge from line 14 to line 15 and the edge from line 16 to line 17", 16),
              (std::vector<std::int32_t>{14, 15, 17}));
    EXPECT_EQ(NamedLines("the outline ends at line 9 away (line 5); multiline 3", 9), (std::vector<std::int32_t>{5}));
}

// --- The program ---------------------------------------------------------------

std::vector<Json> ReadFrames(const std::string& out) {
    FrameParser parser;
    std::vector<Frame> frames;
    parser.Feed(out, frames);
    std::vector<Json> messages;
    for (const Frame& frame : frames) {
        EXPECT_EQ(frame.kind, Frame::Kind::Message);
        messages.push_back(Json::parse(frame.body));
    }
    EXPECT_FALSE(parser.InFrame());
    return messages;
}

std::string Framed(const Json& message) { return FrameMessage(message.dump()); }

TEST(LspProgram, AnswersOverItsStandardStreamsAndExitsWithZeroAfterShutdown) {
    test::ScratchDir dir;
    std::string input = Framed({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", {{"capabilities", Json::object()}}}});
    input += "Content-Type: text/plain\r\n\r\n";  // no length
    input += FrameMessage("{not json");
    input += Framed({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
    input += Framed({{"jsonrpc", "2.0"}, {"method", "exit"}});
    const std::string inputPath = dir.Write("input", input);
    test::RunOptions options;
    options.stdinPath = inputPath;
    const test::ProgramRun run = test::RunProgram(CORVALA_CHECK_BINARY, {"--lsp"}, options);
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<Json> messages = ReadFrames(run.out);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0]["id"], 1);
    EXPECT_EQ(messages[1]["error"]["code"], -32700);
    EXPECT_EQ(messages[2]["error"]["code"], -32700);
    EXPECT_EQ(messages[3]["id"], 2);
}

TEST(LspProgram, RefusesATwoGigabyteMessageWithoutAllocatingIt) {
    test::ScratchDir dir;
    const std::string inputPath = dir.Write("input", "Content-Length: 2147483648\r\n\r\n{\"jsonrpc\":\"2.0\"}");
    test::RunOptions options;
    options.stdinPath = inputPath;
#if !defined(__SANITIZE_ADDRESS__)
    // (The sanitizer reserves more address space than any limit.)
    options.memoryLimit = std::size_t(1) << 30;
#endif
    const test::ProgramRun run = test::RunProgram(CORVALA_CHECK_BINARY, {"--lsp"}, options);
    // The input ended without exit: status 1, not a crash.
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<Json> messages = ReadFrames(run.out);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["error"]["code"], -32700);
    EXPECT_NE(run.err.find("2147483648"), std::string::npos);
}

// --- A real file ------------------------------------------------------------------

// Files of the sample folder, opened as an editor opens them (the decoded
// text; for a Latin-1 file the server reads the bytes on disk): the
// diagnostics are the findings corvala-check reports, every range lies on
// its line, one symbol per block, hover on a DP, and the quick fix closes
// an outline.
class LspRealFile : public ::testing::TestWithParam<const char*> {};

TEST_P(LspRealFile, AgreesWithTheCheckerAndFixesAnOutline) {
    const std::string path = std::string(CORVALA_CORPUS_DIR) + "/" + GetParam();
    const std::string bytes = test::ReadFile(path);
    ASSERT_FALSE(bytes.empty()) << "no sample files in " << CORVALA_CORPUS_DIR;
    const std::string uri = "file://" + path;
    Client client;
    client.Initialize();
    client.Open(uri, DecodeForDisplay(bytes));
    const Json published = client.Diagnostics(uri);
    const auto& diagnostics = published["diagnostics"];

    const cli::testing::RunResult checked =
        cli::testing::RunChecker({"--format=json", "--rules=auto", "--blocks", path});
    EXPECT_EQ(diagnostics.size(), Json::parse(checked.out)["files"][0]["findings"].size());

    const std::vector<std::size_t> starts = LineStarts(bytes);
    int notClosed = 0;
    const Json* firstNotClosed = nullptr;
    for (const Json& d : diagnostics) {
        ASSERT_TRUE(d.contains("code"));
        EXPECT_EQ(d["codeDescription"]["href"].get<std::string>().rfind(kDefaultRulesDocument, 0), 0u);
        const std::size_t line = d["range"]["start"]["line"];
        const std::string_view text = LineAt(bytes, starts, line);
        EXPECT_LE(d["range"]["start"]["character"], d["range"]["end"]["character"]);
        EXPECT_LE(d["range"]["end"]["character"].get<std::size_t>(), DisplayOffset(text, text.size(), TextUnit::Utf16));
        if (d["code"] == "not-closed" && notClosed++ == 0) firstNotClosed = &d;
    }

    std::size_t blocks = 0;
    std::int64_t firstDp = -1;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const std::string_view text = LineAt(bytes, starts, i);
        if (text.size() >= 3 && (text[0] | 32) == 'a' && (text[1] | 32) == 'c' && text[2] == ' ') ++blocks;
        if (firstDp < 0 && text.rfind("DP ", 0) == 0) firstDp = static_cast<std::int64_t>(i);
    }
    const Json symbols = client.Request("textDocument/documentSymbol", {{"textDocument", {{"uri", uri}}}})["result"];
    EXPECT_EQ(symbols.size(), blocks);
    ASSERT_GE(firstDp, 0);
    const Json hover = client.Request("textDocument/hover", {{"textDocument", {{"uri", uri}}},
                                                             {"position", {{"line", firstDp}, {"character", 4}}}});
    EXPECT_NE(hover["result"]["contents"]["value"].get<std::string>().find("Decimal degrees"), std::string::npos);

    if (firstNotClosed == nullptr) return;
    const Json action = client.Request("textDocument/codeAction",
                                       {{"textDocument", {{"uri", uri}}},
                                        {"range", (*firstNotClosed)["range"]},
                                        {"context", {{"diagnostics", Json::array({*firstNotClosed})}}}})["result"];
    ASSERT_EQ(action.size(), 1u);
    const Json edit = action[0]["edit"]["changes"][uri][0];
    client.Notify("textDocument/didChange",
                  {{"textDocument", {{"uri", uri}, {"version", 2}}},
                   {"contentChanges", Json::array({{{"range", edit["range"]}, {"text", edit["newText"]}}})}});
    int after = 0;
    const Json fixed = client.Diagnostics(uri);
    EXPECT_EQ(fixed["version"], 2);
    EXPECT_EQ(fixed["diagnostics"].size() + 1, diagnostics.size()) << edit.dump();
    for (const Json& d : fixed["diagnostics"]) after += d["code"] == "not-closed";
    EXPECT_EQ(after, notClosed - 1);
}

INSTANTIATE_TEST_SUITE_P(Lsp, LspRealFile, ::testing::Values("de-2025-06-latin1.txt", "nl-2022.txt"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// --- A real client: Neovim ------------------------------------------------------

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

TEST(Neovim, SeesDiagnosticsAppliesTheQuickFixAndAsksForHoverAndSymbols) {
    const std::string nvim = FindOnPath("nvim");
    if (nvim.empty()) GTEST_SKIP() << "nvim is missing: install the Debian package neovim (scripts/install-deps) to run "
                                      "the language server with a real editor";
    test::ScratchDir dir;
    const std::string file = dir.Write("unclosed.txt", test::ReadFile(cli::testing::DataPath("unclosed.txt")));
    const std::string out = dir.path() + "/seen.json";
    test::RunOptions options;
    options.workingDir = dir.path();
    const test::ProgramRun run = test::RunProgram(
        nvim, {"--headless", "--clean", "-c", "let $CORVALA_CHECK = '" + std::string(CORVALA_CHECK_BINARY) + "'", "-c",
               "let $CORVALA_FIXTURE = '" + file + "'", "-c", "let $CORVALA_OUT = '" + out + "'", "-c",
               "luafile " + std::string(CORVALA_SOURCE_DIR) + "/tests/cli/nvim_lsp.lua"},
        options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = test::ReadFile(out);
    ASSERT_FALSE(text.empty()) << run.out << run.err;
    const Json seen = Json::parse(text);
    ASSERT_FALSE(seen.contains("error")) << seen["error"];

    // Column-precise diagnostics with rule codes and links.
    std::map<std::string, Json> first;
    for (const Json& d : seen["first"]["diagnostics"]) first[d["code"]] = d;
    ASSERT_TRUE(first.count("not-closed"));
    ASSERT_TRUE(first.count("DP"));
    EXPECT_EQ(first["DP"]["range"], Range(17, 18, 17, 20));
    const std::string anchor = RuleAnchor("DP");
    EXPECT_EQ(first["DP"]["codeDescription"]["href"],
              std::string(kDefaultRulesDocument) + (anchor.empty() ? "" : "#" + anchor));
    // The quick fix, and the diagnostic gone after it.
    ASSERT_EQ(seen["actions"].size(), 1u);
    EXPECT_EQ(seen["actions"][0]["diagnostics"][0]["code"], "not-closed");
    EXPECT_EQ(seen["fixed_line"], "DP 52:30:00 N 013:20:00 E");
    for (const Json& d : seen["after"]["diagnostics"]) EXPECT_NE(d["code"], "not-closed");
    EXPECT_NE(seen["hover"]["contents"]["value"].get<std::string>().find("52.500000, 13.333333"), std::string::npos);
    ASSERT_EQ(seen["symbols"].size(), 2u);
    EXPECT_EQ(seen["symbols"][0]["name"], "Field");
    EXPECT_EQ(seen["symbols"][1]["name"], "Minutes");
    EXPECT_EQ(seen["stopped"], true);
}

}  // namespace
}  // namespace corvala::lsp
