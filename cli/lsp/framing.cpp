#include "cli/lsp/framing.h"

#include <algorithm>

namespace corvala::lsp {

namespace {

bool HeaderNameIs(std::string_view line, std::string_view name) {
    if (line.size() < name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != name[i]) return false;
    }
    return true;
}

}  // namespace

void FrameParser::Feed(std::string_view bytes, std::vector<Frame>& out) {
    while (!bytes.empty()) {
        switch (state_) {
        case State::Header: {
            // The header ends at an empty line: CR LF CR LF (LF LF is taken
            // too). Only the bytes of this call are searched, with the last
            // few of the header so far.
            const std::size_t before = header_.size();
            const std::size_t take = std::min(bytes.size(), kMaxHeaderBytes + 4 - std::min(before, kMaxHeaderBytes + 4));
            header_.append(bytes.substr(0, take));
            const std::size_t from = before >= 3 ? before - 3 : 0;
            std::size_t end = std::string::npos, endLength = 0;
            for (std::size_t i = from; i < header_.size(); ++i) {
                if (header_.compare(i, 4, "\r\n\r\n") == 0) {
                    end = i;
                    endLength = 4;
                    break;
                }
                if (header_.compare(i, 2, "\n\n") == 0) {
                    end = i;
                    endLength = 2;
                    break;
                }
            }
            if (end == std::string::npos) {
                bytes.remove_prefix(take);
                if (header_.size() > kMaxHeaderBytes) {
                    out.push_back({Frame::Kind::Error, "a message header longer than 8192 bytes"});
                    // Passed over up to the next empty line.
                    header_.erase(0, header_.size() - 3);
                }
                continue;
            }
            // What followed the empty line belongs to the body.
            const std::size_t used = end + endLength - before;
            bytes.remove_prefix(used);
            header_.resize(end);
            EndOfHeader(out);
            break;
        }
        case State::Body: {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size()));
            body_.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            remaining_ -= take;
            if (remaining_ == 0) {
                out.push_back({Frame::Kind::Message, std::move(body_)});
                body_.clear();
                state_ = State::Header;
            }
            break;
        }
        case State::Skip: {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size()));
            bytes.remove_prefix(take);
            remaining_ -= take;
            if (remaining_ == 0) state_ = State::Header;
            break;
        }
        }
    }
}

void FrameParser::EndOfHeader(std::vector<Frame>& out) {
    std::string_view rest = header_;
    bool haveLength = false, badLength = false;
    std::uint64_t length = 0;
    while (!rest.empty()) {
        std::size_t lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!HeaderNameIs(line, "content-length:")) continue;
        std::string_view value = line.substr(15);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
        haveLength = true;
        length = 0;
        badLength = value.empty();
        for (const char c : value) {
            if (c < '0' || c > '9' || length > (std::uint64_t(1) << 50)) {
                badLength = true;
                break;
            }
            length = length * 10 + static_cast<std::uint64_t>(c - '0');
        }
    }
    header_.clear();
    if (!haveLength || badLength) {
        // Without a length the body cannot be found: what follows is read
        // as the next header.
        out.push_back({Frame::Kind::Error, haveLength ? "a Content-Length that is not a number"
                                                      : "a message header without Content-Length"});
        return;
    }
    if (length > kMaxMessageBytes) {
        out.push_back({Frame::Kind::Error, "a message of " + std::to_string(length) +
                                               " bytes, more than the server takes; it is passed over"});
        remaining_ = length;
        state_ = State::Skip;
        return;
    }
    if (length == 0) {
        out.push_back({Frame::Kind::Message, std::string()});
        return;
    }
    remaining_ = length;
    body_.clear();
    body_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t(1) << 20)));
    state_ = State::Body;
}

std::string FrameMessage(std::string_view json) {
    std::string frame = "Content-Length: " + std::to_string(json.size()) + "\r\n\r\n";
    frame.append(json);
    return frame;
}

}  // namespace corvala::lsp
