// The checks beyond single lines on a second thread: the run hands them its
// lines a batch at a time and goes on reading and checking lines while they
// work, so that a run with block checks takes about as long as the slower
// of the two halves rather than their sum.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/rules/checks_beyond_lines.h"

namespace corvala {

class CheckThread {
public:
    // A run of consecutive lines with everything the checks read, copied so
    // that it outlives the source's buffer; then what the checks made of it.
    class Batch {
    public:
        // `command` and `argument` are views into `raw` (or empty).
        void Add(const RecordLine& line);
        std::size_t LineCount() const noexcept { return entries_.size(); }
        std::size_t ByteCount() const noexcept { return bytes_.size(); }
        // Empties the batch for another use; false when it has grown too
        // big to be worth keeping (it held a very long line).
        bool Reuse() noexcept;

        // Set by the thread: the findings of the batch's lines, in the order
        // the checks reported them; the line before which every line seen
        // so far is final (the last line that started a block, or 0); the
        // failure a check raised, if any.
        std::vector<Finding> findings;
        std::int32_t finalBefore = 0;
        std::exception_ptr failure;
        // The checks finish after this batch (the last of a completed run).
        bool last = false;

    private:
        friend class CheckThread;
        static constexpr std::size_t kMostKeptBytes = std::size_t(4) << 20;
        struct Entry {
            std::int32_t line;
            bool lineOk;
            std::size_t raw, rawSize;
            std::size_t command, commandSize;
            std::size_t argument, argumentSize;
            std::size_t positions, positionCount;
        };
        RecordLine Record(const Entry& entry) const noexcept;

        std::string bytes_;
        std::vector<Entry> entries_;
        std::vector<GeoPoint> positions_;
    };

    explicit CheckThread(std::vector<std::unique_ptr<ChecksBeyondLines>> checks);
    // Stops the thread after the batch it is on and waits for it.
    ~CheckThread();
    CheckThread(const CheckThread&) = delete;
    CheckThread& operator=(const CheckThread&) = delete;

    // Hands a batch over; batches are checked in the order handed over.
    // Without a thread (one could not be started) it is checked at once.
    void Submit(std::unique_ptr<Batch> batch);
    // The oldest checked batch; when none is ready, waits for one if
    // `wait` and any is still being checked, or returns null.
    std::unique_ptr<Batch> TakeChecked(bool wait);
    // Batches handed over and not yet taken back.
    std::size_t Outstanding() const noexcept { return outstanding_; }

private:
    void Work();
    void Check(Batch& batch);

    std::vector<std::unique_ptr<ChecksBeyondLines>> checks_;
    std::int32_t finalBefore_ = 0;
    std::exception_ptr failure_;
    std::size_t outstanding_ = 0;

    std::mutex mutex_;
    std::condition_variable toCheck_, checked_;
    std::deque<std::unique_ptr<Batch>> waiting_, done_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace corvala
