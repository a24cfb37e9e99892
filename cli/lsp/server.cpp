#include "cli/lsp/server.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <vector>

#include "cli/lsp/framing.h"
#include "cli/lsp/protocol.h"
#include "engine/values/display.h"
#include "engine/run/engine.h"
#include "engine/input/io.h"
#include "engine/values/text.h"

namespace corvala::lsp {

namespace {

// JSON-RPC and protocol error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kServerNotInitialized = -32002;

// The findings of one run, and whether it was cancelled.
class CollectingSink final : public FindingSink {
public:
    void RunStarted(const RunStart&) override {}
    void Reported(const Finding& finding) override {
        findings.push_back(finding);
        findings.back().command = {};  // a view into the run's lines
    }
    void LineChecked(const LineVerdict&) override {}
    void RunFinished(const RunEnd& end) override { cancelled = end.cancelled; }

    std::vector<Finding> findings;
    bool cancelled = false;
};

// Stops a run when a newer version of its document is waiting.
class CancellingHost final : public RunHost {
public:
    CancellingHost(std::atomic<bool>& cancel, Engine*& engine) : cancel_(cancel), engine_(engine) {}
    void ProcessEvents() override {
        if (cancel_.load(std::memory_order_relaxed) && engine_) engine_->Cancelled = true;
    }

private:
    std::atomic<bool>& cancel_;
    Engine*& engine_;
};

}  // namespace

CheckSettings ServerSettings::Checks() const {
    CheckSettings checks;
    checks.blocks = blocks;
    checks.extended = rules == "extended";
    checks.byFile = rules == "auto";
    return checks;
}

Server::Server(std::function<void(const std::string&)> send, std::chrono::milliseconds debounce)
    : send_(std::move(send)), rulesDocument_(kDefaultRulesDocument), debounce_(debounce) {
    settings_.rules = std::string(kDefaultRules);
    worker_ = std::thread([this] { Work(); });
}

Server::~Server() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        cancelRunning_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void Server::Send(const Json& message) {
    const std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::lock_guard lock(sendMutex_);
    send_(text);
}

void Server::Reply(const Json& id, Json result) { Send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}); }

void Server::ReplyError(const Json& id, int code, const std::string& message) {
    Send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::Log(const std::string& text) {
    Send({{"jsonrpc", "2.0"}, {"method", "window/logMessage"}, {"params", {{"type", 2}, {"message", text}}}});
}

void Server::FrameError(std::string_view reason) {
    ReplyError(nullptr, kParseError, "cannot read the message: " + std::string(reason));
}

void Server::Receive(std::string_view text) {
    Json message = Json::parse(text, nullptr, false);
    if (message.is_discarded()) {
        ReplyError(nullptr, kParseError, "the message is not valid JSON");
        return;
    }
    try {
        Handle(message);
    } catch (const std::exception& e) {
        // A message of the wrong shape (a field of the wrong type): the
        // request gets an error, a notification is logged.
        const Json id = message.is_object() && message.contains("id") ? message["id"] : Json();
        if (!id.is_null()) {
            ReplyError(id, kInvalidParams, std::string("cannot handle the request: ") + e.what());
        } else {
            Log(std::string("corvala: a notification was refused: ") + e.what());
        }
    }
}

void Server::Handle(const Json& message) {
    if (!message.is_object()) {
        ReplyError(nullptr, kInvalidRequest, "a message must be a JSON object");
        return;
    }
    const auto method = message.find("method");
    const auto id = message.find("id");
    if (method == message.end()) {
        // A response to a request of ours (the server sends none that
        // expect one) or an object that is neither.
        if (id == message.end()) ReplyError(nullptr, kInvalidRequest, "a message without method or id");
        return;
    }
    if (!method->is_string()) {
        ReplyError(id != message.end() ? *id : Json(), kInvalidRequest, "the method is not a string");
        return;
    }
    const std::string& name = method->get_ref<const std::string&>();
    const Json params = message.value("params", Json::object());
    if (id != message.end()) {
        if (!id->is_number_integer() && !id->is_string()) {
            ReplyError(nullptr, kInvalidRequest, "the id is neither a number nor a string");
            return;
        }
        Request(*id, name, params);
    } else {
        Notification(name, params);
    }
}

void Server::Request(const Json& id, const std::string& method, const Json& params) {
    if (method == "initialize") {
        if (initialized_) {
            ReplyError(id, kInvalidRequest, "initialize was sent twice");
            return;
        }
        Json result = Initialize(params);
        initialized_ = true;
        Reply(id, std::move(result));
        return;
    }
    if (!initialized_) {
        ReplyError(id, kServerNotInitialized, "the server is not initialized");
        return;
    }
    if (shutdown_) {
        ReplyError(id, kInvalidRequest, "the server is shutting down");
        return;
    }
    if (method == "shutdown") {
        shutdown_ = true;
        Reply(id, nullptr);
    } else if (method == "textDocument/hover") {
        Reply(id, Hover(params));
    } else if (method == "textDocument/documentSymbol") {
        Reply(id, DocumentSymbols(params));
    } else if (method == "textDocument/codeAction") {
        Reply(id, CodeActions(params));
    } else {
        ReplyError(id, kMethodNotFound, "unknown method " + method);
    }
}

void Server::Notification(const std::string& method, const Json& params) {
    if (method == "exit") {
        exited_ = true;
        return;
    }
    if (!initialized_ || shutdown_) return;  // dropped, as the protocol says
    if (method == "initialized" || method == "$/cancelRequest" || method == "$/setTrace") {
        // Requests are answered as they come: nothing is left to cancel.
    } else if (method == "textDocument/didOpen") {
        DidOpen(params);
    } else if (method == "textDocument/didChange") {
        DidChange(params);
    } else if (method == "textDocument/didSave") {
        DidSave(params);
    } else if (method == "textDocument/didClose") {
        DidClose(params);
    } else if (method == "workspace/didChangeConfiguration") {
        ReadSettings(params.value("settings", Json()));
        for (const auto& [uri, document] : documents_) Schedule(uri, document);
    }
    // Other notifications, "$/..." among them, are ignored.
}

Json Server::Initialize(const Json& params) {
    // The first encoding of the client's list that the server counts in;
    // UTF-16 when it lists none.
    const Json encodings = params.value("capabilities", Json::object())
                               .value("general", Json::object())
                               .value("positionEncodings", Json::array());
    std::string encoding = "utf-16";
    if (encodings.is_array()) {
        for (const Json& e : encodings) {
            if (e == "utf-8" || e == "utf-16") {
                encoding = e.get<std::string>();
                break;
            }
        }
    }
    unit_ = encoding == "utf-8" ? TextUnit::Utf8 : TextUnit::Utf16;
    ReadSettings(params.value("initializationOptions", Json()));
    return {
        {"capabilities",
         {{"positionEncoding", encoding},
          {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
          {"hoverProvider", true},
          {"documentSymbolProvider", true},
          {"codeActionProvider", {{"codeActionKinds", Json::array({"quickfix", "source.fixAll.corvala"})}}}}},
        {"serverInfo", {{"name", "corvala-check"}, {"version", CORVALA_VERSION}}},
    };
}

void Server::ReadSettings(const Json& settings) {
    if (!settings.is_object()) return;
    const Json& s = settings.contains("corvala") && settings["corvala"].is_object() ? settings["corvala"] : settings;
    if (const auto rules = s.find("rules"); rules != s.end() && rules->is_string()) {
        const std::string value = rules->get<std::string>();
        if (value == "classic" || value == "extended" || value == "auto") {
            settings_.rules = value;
        } else {
            Log("corvala: rules must be classic, extended or auto, not " + value + "; keeping " + settings_.rules);
        }
    }
    if (const auto blocks = s.find("blocks"); blocks != s.end() && blocks->is_boolean()) settings_.blocks = *blocks;
    if (const auto document = s.find("rulesDocument"); document != s.end() && document->is_string())
        rulesDocument_ = document->get<std::string>();
}

Position Server::ReadPosition(const Json& position) const {
    return {IntegerOf(position.at("line")), IntegerOf(position.at("character"))};
}

Json Server::ToJson(Position position) const { return {{"line", position.line}, {"character", position.character}}; }

Json Server::LineRange(const Document& document, std::size_t line) const {
    const std::size_t length = document.Line(line).size();
    return {{"start", ToJson({static_cast<std::int64_t>(line), 0})},
            {"end", ToJson(document.PositionOf(line, length, unit_))}};
}

Document* Server::Find(const Json& params) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    const auto it = documents_.find(uri);
    return it == documents_.end() ? nullptr : &it->second;
}

const Document* Server::Find(const Json& params) const { return const_cast<Server*>(this)->Find(params); }

void Server::DidOpen(const Json& params) {
    const Json& item = params.at("textDocument");
    const std::string uri = item.at("uri").get<std::string>();
    std::string text = item.at("text").get<std::string>();
    // A file that is not UTF-8 reaches the server as the text the editor
    // decoded; when the file on disk decodes to that text for display, its
    // own bytes are checked (as corvala-check would check them).
    std::string disk;
    if (ReadFileBehind(uri, disk) && !IsValidUtf8(disk) && DecodeForDisplay(disk) == text) text = std::move(disk);
    const auto [it, added] = documents_.insert_or_assign(uri, Document(std::move(text), IntegerOr(item, "version", 0)));
    (void)added;
    Schedule(uri, it->second);
}

void Server::DidChange(const Json& params) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    const auto it = documents_.find(uri);
    if (it == documents_.end()) {
        Log("corvala: a change of " + uri + ", which is not open, was refused");
        return;
    }
    Document& document = it->second;
    for (const Json& change : params.at("contentChanges")) {
        const std::string& text = change.at("text").get_ref<const std::string&>();
        if (change.contains("range")) {
            const Json& range = change["range"];
            const std::size_t begin = document.Offset(ReadPosition(range.at("start")), unit_);
            const std::size_t end = document.Offset(ReadPosition(range.at("end")), unit_);
            document.Replace(begin, end, text);
        } else {
            document.ReplaceAll(text);
        }
    }
    document.SetVersion(IntegerOr(params["textDocument"], "version", document.Version() + 1));
    Schedule(uri, document);
}

void Server::DidSave(const Json& params) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    const auto it = documents_.find(uri);
    if (it == documents_.end()) return;
    // The saved bytes replace those that only display the same way.
    std::string disk;
    if (ReadFileBehind(uri, disk) && disk != it->second.Bytes() &&
        DecodeForDisplay(disk) == DecodeForDisplay(it->second.Bytes())) {
        it->second.ReplaceAll(std::move(disk));
        Schedule(uri, it->second);
    }
}

void Server::DidClose(const Json& params) {
    const std::string uri = params.at("textDocument").at("uri").get<std::string>();
    documents_.erase(uri);
    Unschedule(uri);
    std::lock_guard publishing(publishMutex_);
    Send({{"jsonrpc", "2.0"},
          {"method", "textDocument/publishDiagnostics"},
          {"params", {{"uri", uri}, {"diagnostics", Json::array()}}}});
}

// --- The diagnostics thread ---------------------------------------------------

void Server::Schedule(const std::string& uri, const Document& document) {
    {
        std::lock_guard lock(mutex_);
        Job& job = jobs_[uri];
        job.version = document.Version();
        job.bytes = document.Snapshot();
        job.checks = settings_.Checks();
        job.unit = unit_;
        job.rulesDocument = rulesDocument_;
        job.due = std::chrono::steady_clock::now() + debounce_;
        ++generations_[uri];
        if (busy_ && running_ == uri) cancelRunning_ = true;
    }
    wake_.notify_all();
}

void Server::Unschedule(const std::string& uri) {
    std::lock_guard lock(mutex_);
    jobs_.erase(uri);
    ++generations_[uri];
    if (busy_ && running_ == uri) cancelRunning_ = true;
}

void Server::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return (jobs_.empty() && !busy_) || stopping_; });
}

std::size_t Server::DocumentMemory() const {
    std::size_t total = 0;
    for (const auto& [uri, document] : documents_) total += uri.capacity() + document.MemoryBytes();
    return total;
}

void Server::Work() {
    InitializeFloatingPoint();
    std::unique_lock lock(mutex_);
    while (true) {
        if (stopping_) break;
        if (jobs_.empty()) {
            idle_.notify_all();
            wake_.wait(lock);
            continue;
        }
        // The job due first.
        auto next = jobs_.begin();
        for (auto it = jobs_.begin(); it != jobs_.end(); ++it)
            if (it->second.due < next->second.due) next = it;
        if (next->second.due > std::chrono::steady_clock::now()) {
            wake_.wait_until(lock, next->second.due);
            continue;
        }
        const std::string uri = next->first;
        Job job = std::move(next->second);
        jobs_.erase(next);
        const std::uint64_t generation = generations_[uri];
        running_ = uri;
        busy_ = true;
        cancelRunning_ = false;
        lock.unlock();

        bool cancelled = false;
        std::string diagnostics;
        try {
            diagnostics = Diagnose(uri, job, cancelled);
        } catch (const std::exception& e) {
            cancelled = true;
            Log(std::string("corvala: the check of ") + uri + " failed: " + e.what());
        }

        // Published under the publishing lock, so that a close that comes
        // meanwhile sends its empty list after this one; the lock of the
        // jobs is not held while writing, so that the reading thread can
        // go on taking changes.
        std::unique_lock publishing(publishMutex_);
        lock.lock();
        const bool current = !cancelled && !stopping_ && generations_[uri] == generation;
        lock.unlock();
        if (current) {
            std::string text = R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"uri":)";
            AppendJsonString(text, uri);
            text += R"(,"version":)" + std::to_string(job.version) + R"(,"diagnostics":)";
            text += diagnostics;
            text += "}}";
            std::lock_guard sendLock(sendMutex_);
            send_(text);
        }
        publishing.unlock();
        lock.lock();
        busy_ = false;
    }
    idle_.notify_all();
}

std::string Server::Diagnose(const std::string& uri, const Job& job, bool& cancelled) {
    const std::string& bytes = *job.bytes;
    CollectingSink sink;
    Engine* current = nullptr;
    CancellingHost host(cancelRunning_, current);
    Engine engine(sink, host);
    current = &engine;
    engine.Settings = job.checks;
    engine.ValidateBytes(uri, bytes);
    cancelled = sink.cancelled || cancelRunning_;
    if (cancelled) return {};
    const std::vector<std::size_t> starts = LineStarts(bytes);
    return DiagnosticsArray(uri, bytes, starts, sink.findings, job.unit, job.rulesDocument);
}

// --- Over file descriptors ------------------------------------------------------

int RunLanguageServer(int in, int out) {
    // A client that goes away makes writes fail, not the process die.
    std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> writeFailed{false};
    Server server([&](const std::string& text) {
        if (writeFailed) return;
        const std::string frame = FrameMessage(text);
        if (WriteAll(out, frame.data(), frame.size()) != 0) writeFailed = true;
    });
    FrameParser parser;
    std::vector<Frame> frames;
    std::vector<char> buffer(1 << 16);
    while (!server.Exited() && !writeFailed) {
        const ReadResult got = ReadSome(in, buffer.data(), buffer.size());
        if (got.bytes == 0) break;  // the end of the input, or a read error
        frames.clear();
        parser.Feed(std::string_view(buffer.data(), got.bytes), frames);
        for (Frame& frame : frames) {
            if (frame.kind == Frame::Kind::Error) {
                std::fprintf(stderr, "corvala-check: %s\n", frame.body.c_str());
                server.FrameError(frame.body);
            } else {
                server.Receive(frame.body);
            }
            if (server.Exited()) break;
        }
    }
    // Without exit (the input ended) the status says so.
    return server.Exited() ? server.ExitStatus() : 1;
}

}  // namespace corvala::lsp
