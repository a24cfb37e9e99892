#include "engine/run/check_thread.h"

#include <system_error>

namespace corvala {

namespace {

// The offset of `part` in `whole`; 0 for an empty part, whose data may lie
// anywhere.
std::size_t OffsetIn(std::string_view whole, std::string_view part) noexcept {
    return part.empty() ? 0 : static_cast<std::size_t>(part.data() - whole.data());
}

}  // namespace

void CheckThread::Batch::Add(const RecordLine& line) {
    Entry e;
    e.line = line.line;
    e.lineOk = line.lineOk;
    e.raw = bytes_.size();
    e.rawSize = line.raw.size();
    e.command = OffsetIn(line.raw, line.command);
    e.commandSize = line.command.size();
    e.argument = OffsetIn(line.raw, line.argument);
    e.argumentSize = line.argument.size();
    e.positions = positions_.size();
    e.positionCount = line.positions.size();
    bytes_.append(line.raw);
    positions_.insert(positions_.end(), line.positions.begin(), line.positions.end());
    entries_.push_back(e);
}

bool CheckThread::Batch::Reuse() noexcept {
    if (bytes_.capacity() > kMostKeptBytes) return false;
    bytes_.clear();
    entries_.clear();
    positions_.clear();
    findings.clear();
    finalBefore = 0;
    failure = nullptr;
    last = false;
    return true;
}

RecordLine CheckThread::Batch::Record(const Entry& e) const noexcept {
    RecordLine r;
    r.line = e.line;
    r.lineOk = e.lineOk;
    r.raw = std::string_view(bytes_).substr(e.raw, e.rawSize);
    r.command = r.raw.substr(e.command, e.commandSize);
    r.argument = r.raw.substr(e.argument, e.argumentSize);
    r.positions = std::span<const GeoPoint>(positions_).subspan(e.positions, e.positionCount);
    return r;
}

CheckThread::CheckThread(std::vector<std::unique_ptr<ChecksBeyondLines>> checks) : checks_(std::move(checks)) {
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread to be had: the batches are checked as they come.
    }
}

CheckThread::~CheckThread() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    toCheck_.notify_one();
    thread_.join();
}

void CheckThread::Submit(std::unique_ptr<Batch> batch) {
    ++outstanding_;
    if (!thread_.joinable()) {
        Check(*batch);
        done_.push_back(std::move(batch));
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(batch));
    }
    toCheck_.notify_one();
}

std::unique_ptr<CheckThread::Batch> CheckThread::TakeChecked(bool wait) {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (thread_.joinable()) {
        lock.lock();
        if (wait && outstanding_ > 0) checked_.wait(lock, [this] { return !done_.empty(); });
    }
    if (done_.empty()) return nullptr;
    std::unique_ptr<Batch> batch = std::move(done_.front());
    done_.pop_front();
    --outstanding_;
    return batch;
}

void CheckThread::Work() {
    for (;;) {
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(mutex_);
            toCheck_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
            if (stop_) return;
            batch = std::move(waiting_.front());
            waiting_.pop_front();
        }
        Check(*batch);
        {
            const std::lock_guard lock(mutex_);
            done_.push_back(std::move(batch));
        }
        checked_.notify_one();
    }
}

void CheckThread::Check(Batch& batch) {
    // After a failure the checks' state is in doubt: the later batches fail
    // the same way, unchecked.
    if (failure_) {
        batch.failure = failure_;
        return;
    }
    try {
        for (const Batch::Entry& entry : batch.entries_) {
            const RecordLine r = batch.Record(entry);
            for (const auto& check : checks_) check->Line(r, batch.findings);
            if (StartsBlock(r.command)) finalBefore_ = r.line;
        }
        if (batch.last) {
            for (const auto& check : checks_) check->Finish(batch.findings);
        }
    } catch (...) {
        failure_ = batch.failure = std::current_exception();
    }
    batch.finalBefore = finalBefore_;
}

}  // namespace corvala
