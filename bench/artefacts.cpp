// The injected-artefact benchmark's helper (driven by bench/artefacts).
//
//   artefacts inject KIND SEED SYNTH OUT TRUTH
//       reads a series in whole milliseconds (nongauss-synth's output), injects
//       artefacts of one kind at known places and writes the series (OUT, in
//       milliseconds) and the truth (TRUTH, one line per interval: 1 for an
//       injected interval, 0 otherwise).
//   artefacts score KIND OUT TRUTH CLEANED_MEDIAN CLEANED_MEDIAN_NO_RANGE CLEANED_DEFAULT
//       one line of counts per method: the cleaner's flags read back from its
//       outputs (deletion mode: --median, --median --no-range, its default),
//       and the detector in three forms.
//   artefacts table < SCORES
//       sums the score lines by kind and method into a Markdown table.
//   artefacts recording FILE CLEANED_MEDIAN CLEANED_MEDIAN_NO_RANGE CLEANED_DEFAULT
//       flagged intervals and share of time per method on a real recording.
//
// Every value of OUT is written with nine decimals of which the last six are
// the interval's index, so that no two lines are equal (a change below a
// microsecond): the cleaner writes its kept intervals as their text stood, so
// walking its output beside its input says exactly which intervals it left
// out.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "nongauss/artefacts.hpp"

namespace {

std::uint64_t state = 1;
std::uint64_t next_random() {  // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}
double uniform(double a, double b) {
    return a + (b - a) * static_cast<double>(next_random() >> 11) * 0x1.0p-53;
}

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "artefacts: cannot read %s\n", path.c_str());
        std::exit(2);
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<double> values_of(const std::vector<std::string>& lines) {
    std::vector<double> v;
    for (const auto& l : lines) v.push_back(std::strtod(l.c_str(), nullptr));
    return v;
}

// Which lines of `input` are missing from `kept` (a subsequence of distinct lines).
std::vector<bool> left_out(const std::vector<std::string>& input, const std::vector<std::string>& kept) {
    std::vector<bool> out(input.size(), true);
    std::size_t j = 0;
    for (std::size_t i = 0; i < input.size(); ++i)
        if (j < kept.size() && input[i] == kept[j]) {
            out[i] = false;
            ++j;
        }
    if (j != kept.size()) {
        std::fprintf(stderr, "artefacts: the cleaned series is not a subsequence of its input\n");
        std::exit(2);
    }
    return out;
}

nongauss::IntervalFlag kind_flag(const std::string& kind) {
    using F = nongauss::IntervalFlag;
    if (kind == "ectopic") return F::ectopic;
    if (kind == "missed") return F::missed;
    if (kind == "extra") return F::extra;
    if (kind == "long" || kind == "gaps") return F::long_interval;
    if (kind == "short" || kind.rfind("run", 0) == 0) return F::short_interval;
    return F::kept;  // "clean"
}

int inject(const std::string& kind, std::uint64_t seed, const std::string& synth, const std::string& out_path,
           const std::string& truth_path) {
    state = seed * 0x100000001B3ULL + 7;
    std::vector<double> rr = values_of(read_lines(synth));
    for (double& x : rr) x /= 1000.0;
    std::vector<double> out;
    std::vector<int> truth;
    const std::size_t n = rr.size();
    std::size_t run = kind == "run10" ? 10 : kind == "run30" ? 30 : kind == "run60" ? 60 : 0;
    const bool events = kind != "clean" && kind != "gaps";
    std::size_t next = 500 + static_cast<std::size_t>(next_random() % 200);
    std::size_t start_gaps = 0, end_gaps = 0;
    if (kind == "gaps") {
        start_gaps = 1 + next_random() % 4;
        end_gaps = 1 + next_random() % 4;
    }
    for (std::size_t i = 0; i < n;) {
        if (i < start_gaps || i >= n - end_gaps) {
            out.push_back(uniform(5.0, 10.0));
            truth.push_back(1);
            ++i;
            continue;
        }
        if (!events || i != next || i + 62 >= n) {
            out.push_back(rr[i]);
            truth.push_back(0);
            ++i;
            continue;
        }
        next += 400 + static_cast<std::size_t>(next_random() % 200);
        if (kind == "ectopic") {
            const double early = rr[i] * uniform(0.6, 0.8);
            out.push_back(early);
            out.push_back(rr[i] + rr[i + 1] - early);
            truth.insert(truth.end(), {1, 1});
            i += 2;
        } else if (kind == "missed") {
            out.push_back(rr[i] + rr[i + 1]);
            truth.push_back(1);
            i += 2;
        } else if (kind == "extra") {
            const double first = rr[i] * uniform(0.3, 0.7);
            out.push_back(first);
            out.push_back(rr[i] - first);
            truth.insert(truth.end(), {1, 1});
            i += 1;
        } else if (kind == "long" || kind == "short") {
            out.push_back(rr[i] * (kind == "long" ? uniform(1.4, 1.6) : uniform(0.55, 0.7)));
            truth.push_back(1);
            i += 1;
        } else if (run > 0) {
            for (std::size_t k = 0; k < run; ++k) {
                out.push_back(rr[i + k] * 0.65);
                truth.push_back(1);
            }
            i += run;
        } else {
            std::fprintf(stderr, "artefacts: unknown kind %s\n", kind.c_str());
            return 2;
        }
    }
    std::ofstream o(out_path), t(truth_path);
    char buf[64];
    for (std::size_t i = 0; i < out.size(); ++i) {
        const long long micro = std::llround(out[i] * 1e6);  // microseconds
        std::snprintf(buf, sizeof buf, "%lld.%03lld%06llu\n", micro / 1000, micro % 1000,
                      static_cast<unsigned long long>(i % 1000000));
        o << buf;
        t << truth[i] << '\n';
    }
    return o && t ? 0 : 2;
}

struct Variant {
    const char* name;
    nongauss::ArtefactSettings settings;
};

std::vector<Variant> variants() {
    nongauss::ArtefactSettings published;
    published.runs = false;
    published.keep_window_size = false;
    published.min_threshold = 0.0;
    nongauss::ArtefactSettings no_runs;
    no_runs.runs = false;
    nongauss::ArtefactSettings chosen;
    // ARTEFACTS_DETECTOR="ALPHA FLOOR LIMIT" tries other settings of the default form.
    if (const char* e = std::getenv("ARTEFACTS_DETECTOR")) {
        std::istringstream in(e);
        in >> chosen.alpha >> chosen.min_threshold >> chosen.median_limit;
    }
    return {{"published", published}, {"no-runs", no_runs}, {"detector", chosen}};
}

int score(const std::string& kind, const std::string& out_path, const std::string& truth_path,
          const std::string& cleaned_default, const std::string& cleaned_no_range,
          const std::string& cleaned_detector) {
    const auto lines = read_lines(out_path);
    std::vector<int> truth;
    for (const auto& l : read_lines(truth_path)) truth.push_back(l == "1");
    if (truth.size() != lines.size()) return 2;
    // Within `reach` intervals of an injected one.
    constexpr std::size_t reach = 5;
    std::vector<bool> near_artefact(truth.size(), false);
    for (std::size_t i = 0; i < truth.size(); ++i)
        if (truth[i])
            for (std::size_t k = i >= reach ? i - reach : 0; k <= i + reach && k < truth.size(); ++k)
                near_artefact[k] = true;
    // artefact intervals, flagged artefact intervals, flagged with their kind,
    // all flagged, all intervals, flagged clean intervals near an artefact
    auto line = [&](const char* method, const std::vector<bool>& flagged, const std::vector<bool>* right) {
        std::size_t a = 0, tp = 0, kind_right = 0, all = 0, near = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            a += truth[i];
            all += flagged[i];
            if (truth[i] && flagged[i]) {
                ++tp;
                if (right && (*right)[i]) ++kind_right;
            }
            if (flagged[i] && !truth[i] && near_artefact[i]) ++near;
        }
        std::printf("%s\t%s\t%zu\t%zu\t%zu\t%zu\t%zu\t%zu\n", kind.c_str(), method, a, tp,
                    right ? kind_right : tp, all, lines.size(), near);
    };
    line("clean-median", left_out(lines, read_lines(cleaned_default)), nullptr);
    line("clean-median-no-range", left_out(lines, read_lines(cleaned_no_range)), nullptr);
    line("clean-detector", left_out(lines, read_lines(cleaned_detector)), nullptr);
    std::vector<double> seconds = values_of(lines);
    for (double& x : seconds) x /= 1000.0;
    const auto want = kind_flag(kind);
    for (const auto& v : variants()) {
        const auto flags = nongauss::detect_artefacts(seconds, v.settings);
        std::vector<bool> flagged(flags.size()), right(flags.size());
        for (std::size_t i = 0; i < flags.size(); ++i) {
            flagged[i] = flags[i] != nongauss::IntervalFlag::kept;
            right[i] = flags[i] == want;
        }
        line(v.name, flagged, &right);
    }
    return 0;
}

std::string pct(std::size_t a, std::size_t b) {
    if (b == 0) return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 100.0 * static_cast<double>(a) / static_cast<double>(b));
    return buf;
}

int table() {
    struct Sum { std::size_t artefacts = 0, found = 0, right = 0, flagged = 0, intervals = 0, near = 0; };
    std::vector<std::string> kinds, methods;
    std::map<std::pair<std::string, std::string>, Sum> sums;
    for (std::string l; std::getline(std::cin, l);) {
        std::istringstream in(l);
        std::string kind, method;
        Sum s;
        if (!(in >> kind >> method >> s.artefacts >> s.found >> s.right >> s.flagged >> s.intervals >> s.near))
            continue;
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
        if (std::find(methods.begin(), methods.end(), method) == methods.end()) methods.push_back(method);
        Sum& t = sums[{kind, method}];
        t.artefacts += s.artefacts;
        t.found += s.found;
        t.right += s.right;
        t.flagged += s.flagged;
        t.intervals += s.intervals;
        t.near += s.near;
    }
    std::printf("| kind | injected |");
    for (const auto& m : methods) std::printf(" %s Se | P |", m.c_str());
    std::printf("\n|---|---:|");
    for (std::size_t k = 0; k < methods.size(); ++k) std::printf("---:|---:|");
    std::printf("\n");
    for (const auto& kind : kinds) {
        const Sum& first = sums[{kind, methods.front()}];
        std::printf("| %s | %zu |", kind.c_str(), first.artefacts);
        for (const auto& m : methods) {
            const Sum& s = sums[{kind, m}];
            if (kind == "clean") {
                // no artefacts: the false flags per 100,000 intervals
                std::printf(" %s /100k | |", pct(s.flagged * 1000, s.intervals).c_str());
            } else {
                std::string se = pct(s.found, s.artefacts);
                if (s.right != s.found) se += " (" + pct(s.right, s.artefacts) + ")";
                std::printf(" %s | %s |", se.c_str(), pct(s.found, s.flagged).c_str());
            }
        }
        std::printf("\n");
    }
    std::printf("\nPrecision near the artefacts (flags within %d intervals of an injected one):\n\n| kind |", 5);
    for (const auto& m : methods) std::printf(" %s |", m.c_str());
    std::printf("\n|---|");
    for (std::size_t k = 0; k < methods.size(); ++k) std::printf("---:|");
    std::printf("\n");
    for (const auto& kind : kinds) {
        if (kind == "clean") continue;
        std::printf("| %s |", kind.c_str());
        for (const auto& m : methods) {
            const Sum& s = sums[{kind, m}];
            std::printf(" %s |", pct(s.found, s.found + s.near).c_str());
        }
        std::printf("\n");
    }
    return 0;
}

int recording(const std::string& path, const std::string& cleaned_default, const std::string& cleaned_no_range,
              const std::string& cleaned_detector) {
    std::vector<double> v = values_of(read_lines(path));
    if (v.empty()) return 2;
    const double unit = v.front() > 100.0 ? 1000.0 : 1.0;
    double total = 0.0;
    for (double& x : v) {
        x /= unit;
        total += x;
    }
    auto line = [&](const char* method, std::size_t flagged, double flagged_s) {
        std::printf("%s\t%s\t%zu\t%zu\t%.2f\t%.2f\n", path.substr(path.rfind('/') + 1).c_str(), method, v.size(),
                    flagged, 100.0 * static_cast<double>(flagged) / static_cast<double>(v.size()),
                    100.0 * flagged_s / total);
    };
    for (const auto& [name, file] : {std::pair{"clean-median", cleaned_default}, {"clean-median-no-range", cleaned_no_range},
                                   {"clean-detector", cleaned_detector}}) {
        const auto kept = values_of(read_lines(file));
        double kept_s = 0.0;
        for (double x : kept) kept_s += x / unit;
        line(name, v.size() - kept.size(), total - kept_s);
    }
    for (const auto& var : variants()) {
        const auto flags = nongauss::detect_artefacts(v, var.settings);
        std::size_t flagged = 0;
        double flagged_s = 0.0;
        for (std::size_t i = 0; i < v.size(); ++i)
            if (flags[i] != nongauss::IntervalFlag::kept) {
                ++flagged;
                flagged_s += v[i];
            }
        line(var.name, flagged, flagged_s);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "inject" && argc == 7) return inject(argv[2], std::strtoull(argv[3], nullptr, 10), argv[4], argv[5], argv[6]);
    if (what == "score" && argc == 8) return score(argv[2], argv[3], argv[4], argv[5], argv[6], argv[7]);
    if (what == "table" && argc == 2) return table();
    if (what == "recording" && argc == 6) return recording(argv[2], argv[3], argv[4], argv[5]);
    std::fprintf(stderr, "usage: see the head of bench/artefacts.cpp\n");
    return 2;
}
