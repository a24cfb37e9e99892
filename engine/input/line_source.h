// Where a run takes its lines from, as an interface: a whole file in
// memory or a stream (engine/input/lines.h, engine/input/line_reader.h).
#pragma once

#include <cstdint>
#include <string_view>

namespace corvala {

// Where a run takes its lines from: a whole file in memory, or a stream.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Called once before the first line, after the run has shown its
    // progress panel: a source that loads a whole file loads it here, and
    // raises FileOpenError when it cannot.
    virtual void Open() {}
    // The next line, valid until the next call; false after the last one.
    virtual bool Next(std::string_view& line) = 0;
    // The number of lines when it is known in advance (for the progress
    // bar), otherwise -1.
    virtual std::int64_t Count() const noexcept { return -1; }
    // Starts again at the first line; false when the source cannot (a
    // stream read only once).
    virtual bool Rewind() { return false; }
    // A second pass over the same lines, so that a run that holds lines
    // back need not keep their bytes. Again starts it (once, after Open,
    // before the first Next) and tells whether the source can give its
    // lines again; NextAgain then gives them from the first on, in order,
    // each valid until the next call to NextAgain, never more than Next
    // has given. A source whose lines came out different the second time
    // (the file changed) raises its failure from NextAgain.
    virtual bool Again() { return false; }
    virtual bool NextAgain(std::string_view& line) {
        (void)line;
        return false;
    }
};

}  // namespace corvala
