#include "bench/airspace_gen.h"

#include <cstdio>
#include <random>
#include <string_view>

namespace corvala::bench {

namespace {

class Generator {
public:
    Generator(std::size_t lines, std::uint32_t seed, bool crlf) : target_(lines), rng_(seed), crlf_(crlf) {
        out_.reserve(lines * 30);
    }

    std::string Run() {
        while (count_ < target_) Block();
        return std::move(out_);
    }

private:
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }

    void Line(std::string_view text) {
        if (count_ >= target_) return;
        out_.append(text);
        out_.append(crlf_ ? "\r\n" : "\n");
        ++count_;
    }

    // One point in the block's coordinate form, near the block's centre.
    std::string Point() {
        char buf[96];
        const double lat = lat_ + Uniform(-3000, 3000) / 10000.0;
        const double lon = lon_ + Uniform(-3000, 3000) / 10000.0;
        auto dms = [](double v, int& d, int& m, double& s) {
            d = static_cast<int>(v);
            const double mm = (v - d) * 60.0;
            m = static_cast<int>(mm);
            s = (mm - m) * 60.0;
        };
        int d1, m1, d2, m2;
        double s1, s2;
        dms(lat, d1, m1, s1);
        dms(lon, d2, m2, s2);
        switch (form_) {
        case 0:  // DMS, whole seconds
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d N %03d:%02d:%02d E", d1, m1, static_cast<int>(s1), d2, m2,
                          static_cast<int>(s2));
            break;
        case 1:  // DMS with decimal seconds
            std::snprintf(buf, sizeof buf, "%02d:%02d:%05.2f N %03d:%02d:%05.2f E", d1, m1, s1, d2, m2, s2);
            break;
        case 2:  // DM
            std::snprintf(buf, sizeof buf, "%02d:%06.3f N %03d:%06.3f E", d1, m1 + s1 / 60, d2, m2 + s2 / 60);
            break;
        default:  // DD with many digits, as exported by some tools
            std::snprintf(buf, sizeof buf, "%.13f N %015.13f E", lat, lon);
            break;
        }
        return buf;
    }

    std::string BadPoint() {
        switch (Uniform(0, 2)) {
        case 0:
            return "52:30:00N 013:20:00E";  // no blank before the letters
        case 1:
            return "52:30:60.5 N 013:20:00 E";  // seconds out of range
        default:
            return "52:30:00 N 013:20:00 N";  // the same letter twice
        }
    }

    void Block() {
        static constexpr std::string_view kClasses[] = {"R", "Q", "P", "A", "B", "C", "D", "GP", "CTR", "W"};
        static constexpr std::string_view kUnknownClasses[] = {"E", "G", "UNC"};
        static constexpr std::string_view kFloors[] = {"GND", "SFC", "1000ft AMSL", "FL65", "2500ft AGL", "300m AGL"};
        static constexpr std::string_view kCeilings[] = {"FL95",        "FL115",      "FL195",
                                                         "4500ft AMSL", "1500m AMSL", "UNLTD"};
        ++block_;
        lat_ = 44.0 + Uniform(0, 10000) / 1000.0;
        lon_ = 2.0 + Uniform(0, 20000) / 1000.0;
        const int formPick = Uniform(0, 99);
        form_ = formPick < 55 ? 0 : formPick < 70 ? 1 : formPick < 80 ? 2 : 3;

        if (Chance(0.30)) Line("*");
        if (Chance(0.40)) Line("* Zone " + std::to_string(block_) + " - consult the AIP for activation times");
        const bool knownClass = Chance(0.93);
        Line("AC " + std::string(knownClass ? kClasses[Uniform(0, 9)] : kUnknownClasses[Uniform(0, 2)]));
        if (Chance(0.22)) Line("AY " + std::string(Chance(0.5) ? "TMA" : "RESTRICTED"));
        Line("AN ED-R " + std::to_string(block_) + " Zone " + std::to_string(Uniform(1, 99)) + " " +
             std::string(kCeilings[Uniform(0, 5)]));
        if (Chance(0.15)) Line("AF 1" + std::to_string(Uniform(18, 36)) + "." + std::to_string(Uniform(100, 975)));
        if (Chance(0.13)) Line("AG Langen Radar");
        Line("AL " + std::string(kFloors[Uniform(0, 5)]));
        Line("AH " + std::string(kCeilings[Uniform(0, 5)]));

        const int shape = Uniform(0, 99);
        if (shape < 12) {  // circle
            Line("V X=" + Point());
            Line("DC " + std::to_string(Uniform(1, 20)) + "." + std::to_string(Uniform(0, 9)));
        } else {  // polygon, with an arc now and then
            const int points = Uniform(4, 34);
            for (int i = 0; i < points; ++i) {
                if (i == points / 2 && shape < 40) {
                    if (Chance(0.4)) Line(Chance(0.5) ? "V D=-" : "V D=+");
                    Line("V X=" + Point());
                    Line("DB " + Point() + "," + Point());
                }
                Line("DP " + (Chance(0.004) ? BadPoint() : Point()));
            }
        }
        Line("");
    }

    std::size_t target_;
    std::mt19937 rng_;
    bool crlf_;
    std::string out_;
    std::size_t count_ = 0;
    int block_ = 0;
    int form_ = 0;
    double lat_ = 0, lon_ = 0;
};

}  // namespace

std::string GenerateAirspace(std::size_t lines, std::uint32_t seed, bool crlf) {
    return Generator(lines, seed, crlf).Run();
}

}  // namespace corvala::bench
