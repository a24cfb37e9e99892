// Fuzz target: the language server's framing and its handling of messages.
//
// Input layout: the first byte sets the size of the pieces the stream is fed
// in (1 to 256 bytes); the rest is the stream the server reads, after a
// fixed initialize request. The frames do not depend on how the bytes
// arrive, every message the server sends is valid JSON, and nothing
// crashes or hangs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/lsp/framing.h"
#include "cli/lsp/server.h"
#include "engine/values/text.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_lsp invariant broken: %s\n", what);
    std::abort();
}

bool SameFrames(const std::vector<corvala::lsp::Frame>& a, const std::vector<corvala::lsp::Frame>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].body != b[i].body) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    corvala::InitializeFloatingPoint();
    corvala::SetDecimalSeparator('.');
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvala::lsp;
    if (size == 0) return 0;
    const std::size_t piece = std::size_t(data[0]) + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<Frame> whole, pieces;
    FrameParser one, many;
    one.Feed(stream, whole);
    for (std::size_t at = 0; at < stream.size(); at += piece) many.Feed(stream.substr(at, piece), pieces);
    Check(SameFrames(whole, pieces), "the frames depend on how the bytes arrive");

    {
        Server server(
            [](const std::string& text) {
                Check(!nlohmann::json::parse(text, nullptr, false).is_discarded(), "the server sent invalid JSON");
            },
            std::chrono::milliseconds(0));
        server.Receive(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})");
        for (const Frame& frame : whole) {
            if (frame.kind == Frame::Kind::Error) {
                server.FrameError(frame.body);
            } else {
                server.Receive(frame.body);
            }
            if (server.Exited()) break;
        }
        server.WaitIdle();
    }
    return 0;
}
