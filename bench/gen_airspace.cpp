// gen_airspace LINES [SEED] [--crlf]: writes a realistic airspace file of
// LINES lines to standard output.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/airspace_gen.h"

int main(int argc, char** argv) {
    std::size_t lines = 0;
    unsigned long seed = 1;
    bool crlf = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--crlf") == 0) {
            crlf = true;
            continue;
        }
        char* end = nullptr;
        const unsigned long long value = std::strtoull(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0' || positional > 1) {
            std::fprintf(stderr, "usage: gen_airspace LINES [SEED] [--crlf]\n");
            return 2;
        }
        if (positional++ == 0)
            lines = value;
        else
            seed = value;
    }
    if (positional == 0) {
        std::fprintf(stderr, "usage: gen_airspace LINES [SEED] [--crlf]\n");
        return 2;
    }
    const std::string text = corvala::bench::GenerateAirspace(lines, static_cast<std::uint32_t>(seed), crlf);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
