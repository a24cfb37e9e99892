// The streamed JSON document (see engine/json_writer.h). Layout decisions
// copy those of nlohmann's dump(2); single strings and numbers go through
// nlohmann itself, so that their text is its text.
#include "engine/present/json_writer.h"

#include <cassert>
#include <utility>

#include <nlohmann/json.hpp>

namespace corvala {

namespace {

constexpr std::size_t kIndentStep = 2;

}  // namespace

JsonWriter::JsonWriter(Sink sink) : sink_(std::move(sink)) {}

JsonWriter::JsonWriter(Sink sink, std::size_t depth) : sink_(std::move(sink)), levels_(depth, Level{false, true}) {}

std::string JsonWriter::Indent(std::size_t depth) { return std::string(depth * kIndentStep, ' '); }

void JsonWriter::Raw(std::string_view text) {
    BeforeValue();
    sink_(text);
}

// Inside an array every value starts a new item; inside an object its key
// did that already.
void JsonWriter::BeforeValue() {
    if (levels_.empty()) return;
    if (levels_.back().object) {
        assert(keyWritten_ && "a value inside an object needs its key first");
        keyWritten_ = false;
        return;
    }
    NewItem();
}

// The line break and indentation before an item, with the comma that ends
// the item before it.
void JsonWriter::NewItem() {
    Level& level = levels_.back();
    sink_(level.empty ? "\n" : ",\n");
    level.empty = false;
    const std::size_t width = levels_.size() * kIndentStep;
    if (indent_.size() < width) indent_.resize(width, ' ');
    sink_(std::string_view(indent_).substr(0, width));
}

void JsonWriter::Close(char bracket) {
    assert(!levels_.empty() && !keyWritten_);
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) {
        sink_("\n");
        sink_(std::string_view(indent_).substr(0, levels_.size() * kIndentStep));
    }
    sink_(std::string_view(&bracket, 1));
}

void JsonWriter::BeginObject() {
    BeforeValue();
    levels_.push_back({true, true});
    sink_("{");
}

void JsonWriter::EndObject() {
    assert(!levels_.empty() && levels_.back().object);
    Close('}');
}

void JsonWriter::BeginArray() {
    BeforeValue();
    levels_.push_back({false, true});
    sink_("[");
}

void JsonWriter::EndArray() {
    assert(!levels_.empty() && !levels_.back().object);
    Close(']');
}

void JsonWriter::Key(std::string_view name) {
    assert(!levels_.empty() && levels_.back().object && !keyWritten_);
    NewItem();
    sink_(nlohmann::ordered_json(name).dump());
    sink_(": ");
    keyWritten_ = true;
}

void JsonWriter::String(std::string_view value) {
    BeforeValue();
    sink_(nlohmann::ordered_json(value).dump());
}

void JsonWriter::Integer(std::int64_t value) {
    BeforeValue();
    sink_(nlohmann::ordered_json(value).dump());
}

}  // namespace corvala
