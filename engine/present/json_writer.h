// A JSON document written as it is produced (the checker's JSON report, the
// GeoJSON map): piece by piece to a sink, so that memory does not grow with
// the number of findings. The bytes are exactly those nlohmann's
// ordered_json::dump(2) gives for the same document: two blanks of
// indentation per level, "[]" and "{}" for empty containers, nlohmann's own
// escaping of strings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvala {

class JsonWriter {
public:
    // Receives the document's text in pieces, in order.
    using Sink = std::function<void(std::string_view)>;

    explicit JsonWriter(Sink sink);
    // A writer for items of an array that stands `depth` levels deep in a
    // document written elsewhere (the items of a file's findings, written
    // apart while the file's counts, which come first, are not yet known).
    // Its first value starts the array's first item; it writes no bracket.
    JsonWriter(Sink sink, std::size_t depth);

    // A value is one of these, or an object or array from its Begin to its
    // End. Inside an object each value follows its Key. Strings must be
    // valid UTF-8 (see DecodeForJson); nlohmann raises its type_error
    // otherwise, as dump() does.
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(std::string_view name);
    void String(std::string_view value);
    void Integer(std::int64_t value);
    // A value written elsewhere: `text` goes out as it is.
    void Raw(std::string_view text);
    // The indentation of `depth` levels.
    static std::string Indent(std::size_t depth);

private:
    struct Level {
        bool object;
        bool empty;
    };

    void BeforeValue();
    void NewItem();
    void Close(char bracket);

    Sink sink_;
    std::vector<Level> levels_;
    std::string indent_;
    bool keyWritten_ = false;
};

}  // namespace corvala
