// Reading lines: the whole text into `Lines` (the window's way, and the
// checker's until now) against the streaming `LineReader`, on the largest
// real file and on 1 GiB of generated airspace text fed through a pipe. The
// streaming reader must be at least as fast, in memory that does not grow
// with the input: each benchmark reports the process's peak resident
// memory so far (the pipe benchmarks run streaming first, so its figure is
// its own).
#include <benchmark/benchmark.h>

#include <csignal>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

#include "bench/airspace_gen.h"
#include "engine/input/io.h"
#include "engine/input/line_reader.h"
#include "engine/input/lines.h"

namespace {

using namespace corvala;

const std::string kLargestCorpusFile = std::string(CORVALA_CORPUS_DIR) + "/ua-2024.txt";
constexpr std::size_t kPipeBytes = std::size_t(1) << 30;

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

double PeakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// What a consumer of the lines does at least: look at each one.
struct Tally {
    std::size_t lines = 0;
    std::size_t bytes = 0;
    void Add(std::string_view line) {
        ++lines;
        bytes += line.size();
    }
};

void Report(benchmark::State& state, const Tally& tally, std::size_t inputBytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputBytes));
    state.counters["lines"] = static_cast<double>(tally.lines);
    state.counters["peak_rss_MB"] = PeakMegabytes();
}

std::size_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return static_cast<std::size_t>(in.tellg());
}

void BM_Corpus_ReadWholeFileAndLines(benchmark::State& state) {
    if (!FileExists(kLargestCorpusFile)) return state.SkipWithError("corpus file not found");
    Tally tally;
    for (auto _ : state) {
        tally = {};
        const Lines lines(ReadWholeFile(kLargestCorpusFile, FileKinds::RegularOnly));
        for (std::string_view line : lines) tally.Add(line);
    }
    Report(state, tally, FileSize(kLargestCorpusFile));
}
BENCHMARK(BM_Corpus_ReadWholeFileAndLines)->Unit(benchmark::kMillisecond);

void BM_Corpus_LineReader(benchmark::State& state) {
    if (!FileExists(kLargestCorpusFile)) return state.SkipWithError("corpus file not found");
    Tally tally;
    for (auto _ : state) {
        tally = {};
        const FileHandle file = OpenForReading(kLargestCorpusFile, FileKinds::Any);
        LineReader reader(file.get());
        std::string_view line;
        while (reader.Next(line)) tally.Add(line);
    }
    Report(state, tally, FileSize(kLargestCorpusFile));
}
BENCHMARK(BM_Corpus_LineReader)->Unit(benchmark::kMillisecond);

// A pipe that a second thread fills with `total` bytes of generated
// airspace text, as `corvala-check <(command)` reads it.
class GeneratedPipe {
public:
    explicit GeneratedPipe(std::size_t total) {
        std::signal(SIGPIPE, SIG_IGN);
        int ends[2];
        if (::pipe(ends) != 0) std::abort();
        read_ = FileHandle(ends[0]);
        thread_ = std::thread([write = FileHandle(ends[1]), total] {
            const std::string& block = Block();
            for (std::size_t sent = 0; sent < total;) {
                const std::size_t size = std::min(block.size(), total - sent);
                if (WriteAll(write.get(), block.data(), size) != 0) break;
                sent += size;
            }
        });
    }
    ~GeneratedPipe() {
        read_.Close();
        thread_.join();
    }
    int fd() const { return read_.get(); }

    // About 4 MB of text, ending in a line end so that copies join cleanly.
    static const std::string& Block() {
        static const std::string block = bench::GenerateAirspace(150000, 1);
        return block;
    }

private:
    FileHandle read_;
    std::thread thread_;
};

void BM_Pipe1GiB_LineReader(benchmark::State& state) {
    GeneratedPipe::Block();
    Tally tally;
    std::size_t buffer = 0;
    for (auto _ : state) {
        GeneratedPipe pipe(kPipeBytes);
        tally = {};
        LineReader reader(pipe.fd());
        std::string_view line;
        while (reader.Next(line)) tally.Add(line);
        buffer = reader.BufferSize();
    }
    Report(state, tally, kPipeBytes);
    state.counters["buffer_MB"] = static_cast<double>(buffer) / (1 << 20);
}
BENCHMARK(BM_Pipe1GiB_LineReader)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole text of the same pipe read into memory, as the window reads a
// file: memory grows with the input.
void BM_Pipe1GiB_ReadWholeFileAndLines(benchmark::State& state) {
    GeneratedPipe::Block();
    Tally tally;
    for (auto _ : state) {
        GeneratedPipe pipe(kPipeBytes);
        tally = {};
        const Lines lines(ReadWholeFile("/proc/self/fd/" + std::to_string(pipe.fd()), FileKinds::Any));
        for (std::string_view line : lines) tally.Add(line);
    }
    Report(state, tally, kPipeBytes);
}
BENCHMARK(BM_Pipe1GiB_ReadWholeFileAndLines)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
