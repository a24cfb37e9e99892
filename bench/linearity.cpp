// Time per byte of a whole run: ordinary files against single long lines of
// every kind that takes a text apart (matcher, comma lists, conversions).
// Built in a normal build as `corvala_linearity` (not part of `all`); prints
// one row per input. A quadratic path shows as a per-byte time that grows
// with the line length.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/run/engine.h"
#include "engine/run/run.h"
#include "engine/values/text.h"

namespace {

double SecondsFor(const std::string& bytes, int repeats) {
    corvala::NullSink sink;
    corvala::RunHost host;
    corvala::Engine engine(sink, host);
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        engine.ValidateBytes("linearity", bytes);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = took.count() < best ? took.count() : best;
    }
    return best;
}

std::string OrdinaryFile(std::size_t size) {
    static const char* const kLines[] = {
        "AC R\r\n",
        "AN ED-R 110 Wackersdorf\r\n",
        "AL GND\r\n",
        "AH 2500ft MSL\r\n",
        "SP 0,1,0,0,255\r\n",
        "SB 255,0,0\r\n",
        "V X=52:30:00 N 013:20:00 E\r\n",
        "V D=+\r\n",
        "DP 52:30:00 N 013:20:00 E\r\n",
        "DB 52:30:00 N 013:20:00 E, 52:31:00 N 013:21:00 E\r\n",
        "DA 10,0,90\r\n",
        "DC 2.5\r\n",
        "* a comment line\r\n",
        "XY unknown\r\n",
        "\r\n",
    };
    std::string bytes;
    bytes.reserve(size + 64);
    for (std::size_t i = 0; bytes.size() < size; ++i) bytes += kLines[i % std::size(kLines)];
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    corvala::SetDecimalSeparator('.');
    const std::size_t big = argc > 1 ? std::stoul(argv[1]) : 20u << 20;
    struct Input {
        std::string name;
        std::string bytes;
    };
    std::vector<Input> inputs;
    inputs.push_back({"ordinary lines", OrdinaryFile(big)});
    const std::pair<const char*, std::pair<const char*, char>> kinds[] = {
        {"AN name", {"AN ", 'x'}},   {"comment", {"* ", 'x'}},     {"unknown word", {"", 'X'}},
        {"SP commas", {"SP ", ','}}, {"SP digits", {"SP ", '1'}},  {"SB commas", {"SB ", ','}},
        {"DA commas", {"DA ", ','}}, {"DA digits", {"DA ", '7'}},  {"DB commas", {"DB ", ','}},
        {"DC digits", {"DC ", '9'}}, {"DP blanks", {"DP 1", ' '}}, {"V equals", {"V X", '='}},
        {"DP digits", {"DP ", '5'}}, {"AT colons", {"AT ", ':'}},
    };
    for (const auto& [name, line] : kinds) {
        for (std::size_t length : {big / 10, big}) {
            std::string bytes = line.first;
            bytes.append(length, line.second);
            inputs.push_back({std::string(name) + " (" + std::to_string(length >> 20) + " MB line)", bytes});
        }
    }
    std::printf("%-34s %12s %10s %10s\n", "input", "bytes", "seconds", "ns/byte");
    for (const Input& input : inputs) {
        const double seconds = SecondsFor(input.bytes, 3);
        std::printf("%-34s %12zu %10.4f %10.3f\n", input.name.c_str(), input.bytes.size(), seconds,
                    seconds * 1e9 / static_cast<double>(input.bytes.size()));
    }
    return 0;
}
