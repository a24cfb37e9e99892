// The language server on a large file: the time from a didChange to the
// diagnostics of the new version (with the debounce set to zero, so that
// the time is the server's own; the editor waits 200 ms more), the time the
// reading thread spends on one keystroke while a check is under way, and
// the memory held per open document.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "bench/airspace_gen.h"
#include "cli/lsp/server.h"
#include "engine/values/text.h"

namespace {

using Json = nlohmann::json;
const std::string kUri = "file:///bench/large.txt";

// A client that counts the diagnostics published.
struct Client {
    explicit Client(std::chrono::milliseconds debounce)
        : server([this](const std::string& text) { Received(text); }, debounce) {
        server.Receive(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
    }
    void Received(const std::string& text) {
        if (text.find("publishDiagnostics") == std::string::npos) return;
        const Json message = Json::parse(text);
        std::lock_guard lock(mutex);
        lastVersion = message["params"].value("version", -1);
        diagnostics = message["params"]["diagnostics"].size();
        published.notify_all();
    }
    void WaitFor(std::int64_t version) {
        std::unique_lock lock(mutex);
        published.wait(lock, [&] { return lastVersion >= version; });
    }
    void Open(const std::string& text) {
        server.Receive(Json{{"jsonrpc", "2.0"},
                            {"method", "textDocument/didOpen"},
                            {"params", {{"textDocument", {{"uri", kUri}, {"languageId", "airspace"}, {"version", 1}, {"text", text}}}}}}
                           .dump());
    }
    // One keystroke at the start of `line`: a "*" typed (odd versions) or
    // deleted again (even versions).
    void Type(std::int64_t version, std::int64_t line) {
        const Json range = {{"start", {{"line", line}, {"character", 0}}},
                            {"end", {{"line", line}, {"character", version % 2 ? 0 : 1}}}};
        server.Receive(Json{{"jsonrpc", "2.0"},
                            {"method", "textDocument/didChange"},
                            {"params",
                             {{"textDocument", {{"uri", kUri}, {"version", version}}},
                              {"contentChanges", Json::array({{{"range", range}, {"text", version % 2 ? "*" : ""}}})}}}}
                           .dump());
    }

    corvala::lsp::Server server;
    std::mutex mutex;
    std::condition_variable published;
    std::int64_t lastVersion = 0;
    std::size_t diagnostics = 0;
};

void BM_DidChangeToDiagnostics(benchmark::State& state) {
    corvala::InitializeFloatingPoint();
    const std::string text = corvala::bench::GenerateAirspace(static_cast<std::size_t>(state.range(0)));
    Client client(std::chrono::milliseconds(0));
    client.Open(text);
    client.WaitFor(1);
    std::int64_t version = 1;
    for (auto _ : state) {
        // A middle line commented out and back.
        ++version;
        client.Type(version, state.range(0) / 2);
        client.WaitFor(version);
    }
    state.counters["diagnostics"] = static_cast<double>(client.diagnostics);
    state.counters["document_bytes"] = static_cast<double>(client.server.DocumentMemory());
    state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_DidChangeToDiagnostics)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// What one keystroke costs the reading thread while the checks of earlier
// versions run: the editor's next message waits this long at most.
void BM_KeystrokeOnTheReadingThread(benchmark::State& state) {
    corvala::InitializeFloatingPoint();
    const std::string text = corvala::bench::GenerateAirspace(static_cast<std::size_t>(state.range(0)));
    Client client(std::chrono::milliseconds(200));
    client.Open(text);
    std::int64_t version = 1;
    for (auto _ : state) client.Type(++version, state.range(0) / 2);
    client.server.WaitIdle();
}
BENCHMARK(BM_KeystrokeOnTheReadingThread)->Arg(100000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
