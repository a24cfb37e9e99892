// The streamed JSON document must be byte for byte what nlohmann's
// ordered_json::dump(2) gives for the same document: indentation, empty
// containers, string escapes and numbers.
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "engine/present/json_writer.h"

using namespace std::string_literals;
using Json = nlohmann::ordered_json;

namespace corvala::cli {
namespace {

// Writes `value` through the writer, as a streaming report would.
void Emit(JsonWriter& writer, const Json& value) {
    if (value.is_object()) {
        writer.BeginObject();
        for (const auto& [key, member] : value.items()) {
            writer.Key(key);
            Emit(writer, member);
        }
        writer.EndObject();
    } else if (value.is_array()) {
        writer.BeginArray();
        for (const Json& element : value) Emit(writer, element);
        writer.EndArray();
    } else if (value.is_string()) {
        writer.String(value.get_ref<const std::string&>());
    } else {
        writer.Integer(value.get<std::int64_t>());
    }
}

std::string Streamed(const Json& document) {
    std::string text;
    JsonWriter writer([&](std::string_view piece) { text.append(piece); });
    Emit(writer, document);
    return text;
}

const std::string kEscapes = "\"\\/\b\f\n\r\t\x01\x1f\x7f\0 \xc3\xa9\xe2\x82\xac\xe2\x80\xa8\xf0\x9f\x98\x80"s;

const struct {
    const char* name;
    Json document;
} kCases[] = {
    {"the report", Json::parse(R"({"files": [{"path": "a.txt", "line_count": 3, "error_count": 1,
                    "errors": [{"line": 2, "command": "XY", "message": "XY not implemented."}]},
                   {"path": "b.txt", "line_count": 0, "error_count": 0, "errors": []}],
                   "unreadable": [{"path": "c", "message": "Cannot open file \"/c\". No such file or directory"}]})")},
    {"an empty report", Json::parse(R"({"files": [], "unreadable": []})")},
    {"empty object", Json::object()},
    {"empty array", Json::array()},
    {"empty containers nested", Json::parse(R"([{}, [], {"a": {}, "b": []}, [[[]]], [{}]])")},
    {"a lone string", Json("x")},
    {"a lone integer", Json(-5)},
    {"every escape in values and keys", Json{{kEscapes, kEscapes}, {"k", Json::array({kEscapes, ""})}}},
    {"integer limits",
     Json::array({0, -1, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()})},
};

TEST(JsonWriter, WritesWhatDumpWrites) {
    for (const auto& c : kCases) EXPECT_EQ(Streamed(c.document), c.document.dump(2)) << c.name;
}

// A random code point, as UTF-8, weighted towards the ones with escapes.
std::string RandomCharacter(std::mt19937_64& random) {
    char32_t cp;
    switch (random() % 5) {
    case 0:
        cp = random() % 0x20;
        break;
    case 1:
        cp = 0x20 + random() % 0x60;
        break;
    case 2:
        cp = 0x80 + random() % 0x780;
        break;
    case 3:
        cp = 0x800 + random() % 0xF800;
        if (cp >= 0xD800 && cp < 0xE000) cp = 0x2028;
        break;
    default:
        cp = 0x10000 + random() % 0x100000;
    }
    std::string text;
    if (cp < 0x80) {
        text += static_cast<char>(cp);
    } else if (cp < 0x800) {
        text += static_cast<char>(0xC0 | (cp >> 6));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        text += static_cast<char>(0xE0 | (cp >> 12));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (cp >> 18));
        text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return text;
}

std::string RandomString(std::mt19937_64& random) {
    std::string text;
    for (std::size_t n = random() % 6; n > 0; --n) text += RandomCharacter(random);
    return text;
}

Json RandomValue(std::mt19937_64& random, int depth) {
    const unsigned kind = depth >= 5 ? 2 + random() % 2 : random() % 4;
    if (kind == 0 || kind == 1) {
        Json container = kind == 0 ? Json::object() : Json::array();
        for (std::size_t n = random() % 4; n > 0; --n) {
            if (kind == 0) {
                container[RandomString(random)] = RandomValue(random, depth + 1);
            } else {
                container.push_back(RandomValue(random, depth + 1));
            }
        }
        return container;
    }
    if (kind == 2) return RandomString(random);
    return static_cast<std::int64_t>(random()) >> (random() % 64);
}

TEST(JsonWriter, MatchesDumpOnRandomDocuments) {
    std::mt19937_64 random(11);
    for (int round = 0; round < 3000; ++round) {
        const Json document = RandomValue(random, 0);
        ASSERT_EQ(Streamed(document), document.dump(2)) << "round " << round;
    }
}

}  // namespace
}  // namespace corvala::cli
