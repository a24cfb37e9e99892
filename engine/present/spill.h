// Text that waits for its place in a document (a file's findings, which
// come after its counts in the JSON report and after its airspaces in the
// maps): in memory up to a few megabytes, then in an unnamed temporary file
// in TMPDIR (else /tmp), so that a file with millions of findings costs
// disk, not memory. The temporary file is tried once; without it the text
// stays in memory up to a bound. Every write and the last flush are
// checked: text that cannot be kept fails the file it belongs to with
// "Cannot keep the findings of \"<title>\": <why>.", it is never dropped
// without a word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvala {

// Receives text in pieces, in order.
using TextSink = std::function<void(std::string_view)>;

class Spill {
public:
    // Kept in memory before the temporary file is tried, and written to it
    // in blocks of this size.
    static constexpr std::size_t kMemoryLimit = std::size_t(4) << 20;
    // Kept in memory at most when there is no temporary file.
    static constexpr std::size_t kMemoryBound = std::size_t(64) << 20;

    Spill() = default;
    Spill(const Spill&) = delete;
    Spill& operator=(const Spill&) = delete;
    ~Spill();

    // Empties the spill for the text of a new file; `title` names that file
    // in messages.
    void Start(std::string_view title);
    // Names the file in messages from now on, keeping the text (a spill
    // that collects the text of several files).
    void Retitle(std::string_view title) { title_ = title; }

    // Raises Failure when the text cannot be kept; after that, text is
    // ignored until the next Start.
    void Append(std::string_view text);
    bool Empty() const noexcept { return memory_.empty() && !inFile_; }
    // Whether all the text appended since Start is kept.
    bool Whole() const noexcept { return !broken_; }

    // Writes what is still in memory to the temporary file, so that every
    // failure to keep the text shows before any of it is copied.
    void Complete();
    // After Complete: hands the text to `sink`.
    void CopyTo(const TextSink& sink);

    void Reset();

    // The folder of temporary files: TMPDIR when it is set, else /tmp.
    static std::string TemporaryFolder();

private:
    void WriteOut();
    [[noreturn]] void Fail(const std::string& why);

    std::string title_;
    std::string memory_;
    int fd_ = -1;
    bool fileTried_ = false;
    int fileError_ = 0;
    bool inFile_ = false;  // the text since Start is in the file, then in memory_
    std::uint64_t written_ = 0;
    bool broken_ = false;
};

}  // namespace corvala
