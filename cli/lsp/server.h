// corvala-check --lsp: a language server over standard input and output.
// The reading thread takes messages, keeps the open documents and answers
// requests; the diagnostics of a document are computed on a thread of
// their own, a short while after its last change, and a newer version
// cancels a computation under way.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/lsp/document.h"
#include "cli/rule_docs.h"
#include "engine/rules/checks_beyond_lines.h"

namespace corvala::lsp {

using cli::kRulesDocumentUri;
using Json = nlohmann::json;

// What the checks take from the editor's settings.
struct ServerSettings {
    // "classic", "extended" or "auto" (each file by the record set it
    // declares): the record set of the line checks.
    std::string rules;
    bool blocks = true;
    CheckSettings Checks() const;
};

// The record set when the editor names none.
inline constexpr std::string_view kDefaultRules = "auto";

// Where the rules are documented (docs/rules.md as published, as in the
// SARIF log): each diagnostic links to its rule's section (anchor) of this
// page.
inline constexpr std::string_view kDefaultRulesDocument = kRulesDocumentUri;

class Server {
public:
    // `send` writes one message (JSON text, unframed); it is called from
    // the reading thread and from the diagnostics thread, never at once.
    explicit Server(std::function<void(const std::string&)> send,
                    std::chrono::milliseconds debounce = std::chrono::milliseconds(200));
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // One message as read (its JSON text).
    void Receive(std::string_view text);
    // A frame that could not be read.
    void FrameError(std::string_view reason);

    // After `exit`: the process's status (0 after shutdown, else 1).
    bool Exited() const noexcept { return exited_; }
    int ExitStatus() const noexcept { return shutdown_ ? 0 : 1; }

    // The memory held by the open documents (for the benchmarks).
    std::size_t DocumentMemory() const;
    // Waits until no diagnostics are due or under way (for tests and
    // benchmarks).
    void WaitIdle();

private:
    void Handle(const Json& message);
    void Request(const Json& id, const std::string& method, const Json& params);
    void Notification(const std::string& method, const Json& params);
    void Reply(const Json& id, Json result);
    void ReplyError(const Json& id, int code, const std::string& message);
    void Send(const Json& message);
    void Log(const std::string& text);

    Json Initialize(const Json& params);
    void ReadSettings(const Json& settings);
    void DidOpen(const Json& params);
    void DidChange(const Json& params);
    void DidSave(const Json& params);
    void DidClose(const Json& params);
    Json Hover(const Json& params) const;
    Json DocumentSymbols(const Json& params) const;
    Json CodeActions(const Json& params) const;
    Document* Find(const Json& params);
    const Document* Find(const Json& params) const;
    Position ReadPosition(const Json& position) const;
    Json ToJson(Position position) const;
    Json LineRange(const Document& document, std::size_t line) const;

    // The diagnostics thread.
    void Schedule(const std::string& uri, const Document& document);
    void Unschedule(const std::string& uri);
    void Work();

    std::function<void(const std::string&)> send_;
    std::mutex sendMutex_;
    // Held while diagnostics are published, and by a close while it sends
    // its empty list.
    std::mutex publishMutex_;
    bool initialized_ = false;
    bool shutdown_ = false;
    bool exited_ = false;
    TextUnit unit_ = TextUnit::Utf16;
    ServerSettings settings_;
    std::string rulesDocument_;
    std::map<std::string, Document> documents_;

    struct Job {
        std::int64_t version = 0;
        std::shared_ptr<const std::string> bytes;
        CheckSettings checks;
        std::chrono::steady_clock::time_point due;
        TextUnit unit = TextUnit::Utf16;
        std::string rulesDocument;
    };
    std::string Diagnose(const std::string& uri, const Job& job, bool& cancelled);
    const std::chrono::milliseconds debounce_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::string, Job> jobs_;
    // Bumped by every change and close of a document: a result computed
    // for an older generation is not published.
    std::map<std::string, std::uint64_t> generations_;
    std::string running_;
    bool busy_ = false;
    bool stopping_ = false;
    std::atomic<bool> cancelRunning_{false};
    std::condition_variable idle_;
    std::thread worker_;
};

// Runs the server over file descriptors until `exit` or the end of the
// input; returns the process's exit status.
int RunLanguageServer(int in, int out);

// The anchor of a rule's section in docs/rules.md ("" for none), and the
// heading slugs as GitHub makes them.
std::string RuleAnchor(std::string_view rule);
std::string HeadingSlug(std::string_view heading);

}  // namespace corvala::lsp
