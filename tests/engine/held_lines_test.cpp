// With the checks beyond single lines the run holds each block's lines back
// until the block has ended. How it keeps them depends on the source: a file
// in memory and a regular file give their lines a second time, a pipe's
// lines are kept as bytes. Whichever way, every verdict and every finding
// goes out the same, byte for byte, and a source that cannot give a line
// again ends the run with a failure.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "engine/input/lines.h"
#include "test_support.h"
#include "tests/support/recording_sink.h"

namespace corvala {
namespace {

// The lines of a text one at a time, each in a buffer that the next line
// overwrites (as a stream's buffer is), and again when `again`. With
// `againLimit`, NextAgain gives no more than that many lines.
class StreamLikeSource final : public LineSource {
public:
    StreamLikeSource(const std::string& text, bool again, std::size_t againLimit = SIZE_MAX)
        : lines_(std::string(text)), again_(again), againLimit_(againLimit) {}

    bool Next(std::string_view& line) override { return Give(next_, buffer_, line); }
    bool Again() override { return again_; }
    bool NextAgain(std::string_view& line) override {
        EXPECT_TRUE(again_);
        EXPECT_LT(givenAgain_, next_) << "a line given again before it was given";
        if (givenAgain_ == againLimit_) return false;
        return Give(givenAgain_, againBuffer_, line);
    }

private:
    bool Give(std::size_t& index, std::string& buffer, std::string_view& line) {
        if (index == lines_.size()) return false;
        std::fill(buffer.begin(), buffer.end(), '~');
        buffer.assign(lines_[index++]);
        line = buffer;
        return true;
    }

    Lines lines_;
    bool again_;
    std::size_t againLimit_;
    std::size_t next_ = 0;
    std::size_t givenAgain_ = 0;
    std::string buffer_, againBuffer_;
};

// Everything a sink received, as one text.
std::string Received(const test::RecordingSink& sink) {
    std::ostringstream out;
    for (const std::string& line : sink.log) out << "log " << line << '\n';
    for (const std::string& error : sink.errors) out << "error " << error << '\n';
    for (const Finding& f : sink.findings)
        out << "finding " << f.line << ' ' << SeverityName(f.severity) << ' ' << IdOf(f.rule) << " [" << f.command << "] "
            << f.blockLine << ' ' << f.message << '\n';
    for (const LineVerdict& v : sink.verdicts)
        out << "verdict " << v.line << ' ' << static_cast<int>(v.verdict) << " [" << v.raw << "]\n";
    if (sink.end) out << "end " << sink.end->lineCount << ' ' << sink.end->errors << ' ' << sink.end->warnings << '\n';
    return out.str();
}

std::string RunWith(const std::string& text, const CheckSettings& settings, int source) {
    test::RecordingSink sink(TextStyle::Detailed);
    RunHost host;
    Engine engine(sink, host);
    engine.Settings = settings;
    if (source == 0) {
        engine.ValidateBytes("held.txt", text);
    } else {
        StreamLikeSource lines(text, source == 1);
        engine.ValidateLines("held.txt", lines);
    }
    return Received(sink);
}

std::string Repeat(std::string_view text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

struct HeldCase {
    const char* name;
    std::string text;
};

// Blocks longer than a batch with findings on their lines (the command word
// written with blanks before it, in lower case, with a comment), comments
// and blank lines, CR, LF and CR LF line ends, a byte-order mark, a long
// preamble, and a last line without a line end.
std::vector<HeldCase> Cases() {
    std::vector<HeldCase> cases = {
        {"LongBlockWithFindings",
         "AC Q\nAN Zone\nAL GND\nAH FL100\n" +
             Repeat("DP 50:00:00 N 010:00:00 E\n  xy 1 no such command * a comment\r\n\n* only a comment\n"
                    "DP 91:00:00 N 010:00:00 E\r  dp 50:10:00 N 010:10:00 E\n",
                    1500) +
             "AC R\nAN Next\nDP 50:00:00 N 010:00:00 E\nDP 50:10:00 N 010:00:00 E"},
        {"LongPreamble", "\xEF\xBB\xBF* VERSION: 2.1\n" + Repeat("\n   \n* comment\r\nAN early\n", 3000) +
                             Repeat("AC D\nAN Zone\nAL GND\nAH FL100\nDP 50:00:00 N 010:00:00 E\nQQ\n", 700)},
        {"OnlyBlankLines", Repeat("\n", 9000)},
        {"ManySmallBlocks", Repeat("AC D\nAN Zone\nAL GND\nAH FL100\nDP 50:00:00 N 010:00:00 E\n"
                                   "DP 50:10:00 N 010:00:00 E\n",
                                   1500)},
    };
    const std::filesystem::path corpus = CORVALA_CORPUS_DIR;
    if (std::filesystem::is_directory(corpus)) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            if (entry.path().extension() != ".txt") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            cases.push_back({"corpus", std::string(std::istreambuf_iterator<char>(in), {})});
        }
    }
    return cases;
}

TEST(HeldLines, GoOutTheSameWhetherGivenAgainCopiedOrInMemory) {
    test::ScopedSeparator point('.');
    for (const bool blocks : {true, false}) {
        for (const bool extended : {true, false}) {
            if (!blocks && !extended) continue;
            CheckSettings settings;
            settings.blocks = blocks;
            settings.extended = extended;
            for (const HeldCase& c : Cases()) {
                const std::string inMemory = RunWith(c.text, settings, 0);
                ASSERT_NE(inMemory.find("\nend "), std::string::npos) << c.name;
                EXPECT_TRUE(RunWith(c.text, settings, 1) == inMemory)
                    << c.name << " given again, blocks " << blocks << " extended " << extended;
                EXPECT_TRUE(RunWith(c.text, settings, 2) == inMemory)
                    << c.name << " copied, blocks " << blocks << " extended " << extended;
            }
        }
    }
}

// A source that gives fewer lines the second time (the file shrank) ends
// the run with a failure, not with lines that are not the file's.
TEST(HeldLines, ASourceThatCannotGiveALineAgainEndsTheRun) {
    test::ScopedSeparator point('.');
    test::RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);
    engine.Settings.blocks = true;
    StreamLikeSource lines(Repeat("AC D\nAN Zone\nDP 50:00:00 N 010:00:00 E\n", 2000), true, 3000);
    EXPECT_THROW(engine.ValidateLines("short.txt", lines), Failure);
    EXPECT_FALSE(sink.end.has_value());
    EXPECT_LE(sink.verdicts.size(), 3000u);
    EXPECT_FALSE(engine.Running());
}

}  // namespace
}  // namespace corvala
