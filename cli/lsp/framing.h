// The base protocol of the language server: messages framed by a header
// ("Content-Length: N", CR LF, an empty line) and N bytes of JSON. The
// parser takes the bytes as they arrive and hands out whole messages; a
// frame it cannot take is reported and passed over, so that one bad frame
// never stops the server, and a length beyond the limit is skipped without
// being stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvala::lsp {

// The largest message body the server takes: a 100,000-line file of 60
// bytes a line, escaped in JSON, fits many times over.
inline constexpr std::uint64_t kMaxMessageBytes = std::uint64_t(256) << 20;
// The largest header block.
inline constexpr std::size_t kMaxHeaderBytes = 8192;

struct Frame {
    enum class Kind : unsigned char { Message, Error };
    Kind kind = Kind::Message;
    std::string body;  // the JSON text of a message, or the reason of an error
};

class FrameParser {
public:
    // Takes the next bytes of the stream; appends what is complete to `out`.
    void Feed(std::string_view bytes, std::vector<Frame>& out);
    // True while a frame is under way (bytes were taken that do not yet
    // make a message).
    bool InFrame() const noexcept { return !header_.empty() || state_ != State::Header; }

private:
    enum class State : unsigned char { Header, Body, Skip };
    void EndOfHeader(std::vector<Frame>& out);

    State state_ = State::Header;
    std::string header_;
    std::string body_;
    std::uint64_t remaining_ = 0;
};

// The frame of one message.
std::string FrameMessage(std::string_view json);

}  // namespace corvala::lsp
