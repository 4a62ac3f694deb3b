// The library's public interface: the same results, messages and transcript as
// the tool, without a process exit; many scales in one pass; threads.
#include "nongauss/nongauss.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "analysis/stage_state.hpp"
#include "driver/options.hpp"
#include "prep/resample.hpp"
#include "support/errors.hpp"
#include "support/run_tool.hpp"
#include "support/numbers.hpp"

namespace nongauss {
namespace {

using nongauss::testing::run_tool;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;

std::vector<double> intervals_ms(int n, std::uint64_t seed = nongauss::testing::Xorshift::default_seed) {
    std::vector<double> v;
    nongauss::testing::Xorshift random(seed);
    for (int i = 0; i < n; ++i) {
        const std::uint64_t x = random.next();
        // Spread changing every 100 beats: far from Gaussian.
        const int spread = 20 + 180 * ((i / 100) % 3);
        v.push_back(700 + static_cast<int>(x % static_cast<unsigned long long>(spread)));
    }
    return v;
}

std::string as_text(const std::vector<double>& values) {
    std::string text;
    for (double v : values) text += std::to_string(static_cast<long long>(v)) + "\n";
    return text;
}

using nongauss::testing::same_bits;

// Every number of two results, bit for bit.
void expect_same(const Result& a, const Result& b, const std::string& what) {
    EXPECT_TRUE(same_bits(a.scale_s, b.scale_s)) << what;
    EXPECT_EQ(a.scale_pt, b.scale_pt) << what;
    EXPECT_EQ(a.n_beats, b.n_beats) << what;
    EXPECT_TRUE(same_bits(a.duration_s, b.duration_s)) << what;
    EXPECT_TRUE(same_bits(a.sd_s, b.sd_s)) << what;
    EXPECT_TRUE(same_bits(a.sd_ms, b.sd_ms)) << what;
    EXPECT_TRUE(same_bits(a.lambda, b.lambda)) << what;
    EXPECT_TRUE(same_bits(a.lambda_sq, b.lambda_sq)) << what;
    EXPECT_EQ(a.n_increments, b.n_increments) << what;
    EXPECT_TRUE(same_bits(a.increment_mean_s, b.increment_mean_s)) << what;
    EXPECT_TRUE(same_bits(a.increments, b.increments)) << what;
    EXPECT_TRUE(same_bits(a.bin_centre, b.bin_centre)) << what;
    EXPECT_TRUE(same_bits(a.p_exp, b.p_exp)) << what;
    EXPECT_TRUE(same_bits(a.p_model, b.p_model)) << what;
    EXPECT_EQ(a.warnings, b.warnings) << what;
    EXPECT_EQ(a.error.has_value(), b.error.has_value()) << what;
}

Settings parsed(std::vector<std::string> options) {
    options.insert(options.begin(), "nongauss");
    options.push_back("rec.txt");
    std::vector<const char*> argv;
    for (const auto& o : options) argv.push_back(o.c_str());
    Settings settings;
    Names names;
    EXPECT_EQ(parse_command_line(static_cast<int>(argv.size()), argv.data(), settings, names), CommandLine::analyse);
    return settings;
}

// What the library says for a run of the tool with `options` on `file` in
// `dir`: the transcript, then the error's report, as the tool writes them.
struct LibraryRun {
    std::string transcript;
    std::optional<Error> error;
    Result result;
};

LibraryRun library_run(const ScratchDir& dir, const std::string& file, const std::vector<std::string>& options) {
    LibraryRun run;
    StringTranscript transcript;
    try {
        const Series series = Series::read_file((dir.path() / file).string(), transcript);
        run.result = analyse(series, parsed(options), transcript);
    } catch (const Error& e) {
        run.error = e;
    }
    run.transcript = transcript.text();
    return run;
}

// Everything the tool rejects, the library rejects: the same message of the
// same kind, after the same transcript, and the process goes on.
TEST(Library, RejectsWhatTheToolRejectsWithTheSameMessage) {
    ScratchDir dir;
    dir.write("rec.txt", as_text(intervals_ms(1200)));
    dir.write("empty.txt", "RR\n800\n");
    dir.write("zero.txt", "800\n810\n0\n790\n");
    dir.write("tiny.txt", as_text(intervals_ms(300)) + "1e-300\n" + as_text(intervals_ms(300, 99)));
    nongauss::testing::write_out_of_range_series(dir);
    dir.write("one.txt", "800\n");
    std::filesystem::create_directory(dir.path() / "adir");

    const struct {
        std::string file;
        std::vector<std::string> options;
        ErrorKind kind;
    } cases[] = {
        {"missing.txt", {}, ErrorKind::input},
        {"adir", {}, ErrorKind::input},
        {"empty.txt", {}, ErrorKind::input},
        {"zero.txt", {}, ErrorKind::input},
        {"tiny.txt", {"-1"}, ErrorKind::input},
        {"one.txt", {}, ErrorKind::fatal},
        {"rec.txt", {"-s", "100000"}, ErrorKind::fatal},
        {"rec.txt", {"-s", "1e12", "-d", "0"}, ErrorKind::fatal},
        {"rec.txt", {"-d", "300"}, ErrorKind::fatal},
        {"rec.txt", {"-d", "300", "-m", "2"}, ErrorKind::fatal},
        {"rec.txt", {"-d", "2147483647"}, ErrorKind::fatal},
        {"huge.txt", {}, ErrorKind::fatal},
        {"subnormal.txt", {"-1"}, ErrorKind::fatal},
        {"subnormal.txt", {"-3"}, ErrorKind::fatal},
        {"hugegrid.txt", {"-t", "1e296", "-s", "1e297", "-d", "0"}, ErrorKind::fatal},
        {"hugegrid.txt", {"-0", "-t", "1e296", "-s", "1e297", "-d", "0"}, ErrorKind::fatal},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(c.file);
        const RunResult tool = run_tool(args, dir.path());
        const LibraryRun lib = library_run(dir, c.file, c.options);
        ASSERT_TRUE(lib.error.has_value()) << c.file;
        EXPECT_EQ(lib.error->kind(), c.kind) << c.file << " " << lib.error->message();
        EXPECT_EQ(tool.status, 1) << c.file;
        // The tool's standard error is, byte for byte, the library's
        // transcript followed by the error's report and its hint, if any
        // (paths aside: the tool ran in the directory, the library was given
        // the full path).
        std::string expected = lib.transcript + lib.error->report();
        if (!lib.error->hint().empty()) expected += lib.error->hint() + "\n";
        for (std::size_t at; (at = expected.find(dir.path().string() + "/")) != std::string::npos;)
            expected.erase(at, dir.path().string().size() + 1);
        EXPECT_EQ(tool.err, expected) << c.file;
    }
}

TEST(Library, ResultIsWhatTheSummaryLineFormats) {
    ScratchDir dir;
    dir.write("rec.txt", as_text(intervals_ms(3000)));
    for (const auto& options : std::vector<std::vector<std::string>>{
             {}, {"-d", "0", "-s", "10"}, {"-m", "2", "-d", "2"}, {"-1", "-q", "0"}, {"-q", "2"}, {"-0", "-n", "37"}}) {
        std::vector<std::string> args = options;
        args.push_back("rec.txt");
        const RunResult tool = run_tool(args, dir.path());
        ASSERT_EQ(tool.status, 0);
        const LibraryRun lib = library_run(dir, "rec.txt", options);
        ASSERT_FALSE(lib.error.has_value());
        const Result& r = lib.result;
        char line[200];
        std::snprintf(line, sizeof line, "rec\t%5.1lf\t%7.1lf\t%5.4lf\n", r.scale_s, r.sd_ms, r.lambda);
        EXPECT_EQ(tool.out, line);
        EXPECT_TRUE(same_bits(r.sd_ms, 1000 * r.sd_s));
        // The transcript is the tool's standard error without what the
        // output files and the summary add.
        std::string err = tool.err;
        for (const std::string file_line : {"Resampled and coase-grained time series are written in \"rec_TS.txt\".\n",
                                            "The estimated PDF is written in \"rec_PDF.txt\".\n"})
            err.erase(err.find(file_line), file_line.size());
        err.erase(err.find("===="));
        std::string transcript = lib.transcript;
        transcript.replace(transcript.find(dir.path().string() + "/"), dir.path().string().size() + 1, "");
        EXPECT_EQ(transcript, err);
        // The PDF file holds the result's densities.
        const auto pdf = nongauss::testing::lines_of(dir.read("rec_PDF.txt"));
        ASSERT_EQ(pdf.size(), r.bin_centre.size() + 1);
        std::snprintf(line, sizeof line, "%lf\t%8.7lf\t%12.11lf", r.bin_centre[3], r.p_exp[3], r.p_model[3]);
        EXPECT_EQ(pdf[4], line);
        EXPECT_EQ(r.n_beats, 3000u);
        EXPECT_EQ(r.unit, Unit::milliseconds);
    }
}

TEST(Library, ManyScalesInOnePassAreEachScaleOnItsOwn) {
    const Series series = Series::from_intervals(intervals_ms(4000));
    const std::vector<double> scales = {5, 25, 1.5, 25, 100, 37.3, 500, 1e9};
    ScaleOptions options;
    options.increments = true;
    for (const auto& settings_options : std::vector<std::vector<std::string>>{
             {}, {"-d", "0"}, {"-d", "1", "-m", "2"}, {"-0", "-d", "5", "-q", "0"}, {"-1", "-t", "0.5"}}) {
        const Settings settings = parsed(settings_options);
        StringTranscript many_transcript;
        const std::vector<Result> many = analyse_scales(series, settings, scales, many_transcript, options);
        ASSERT_EQ(many.size(), scales.size());
        std::string joined;
        for (std::size_t i = 0; i < scales.size(); ++i) {
            Settings one = settings;
            one.scale = scales[i];
            StringTranscript one_transcript;
            try {
                const Result single = analyse(series, one, one_transcript, options);
                ASSERT_FALSE(many[i].error.has_value()) << many[i].error->message();
                expect_same(many[i], single, "scale " + std::to_string(scales[i]));
            } catch (const Error& e) {
                ASSERT_TRUE(many[i].error.has_value()) << scales[i];
                EXPECT_EQ(many[i].error->message(), e.message());
                EXPECT_EQ(many[i].scale_pt, scale_in_points(with_limits(one).scale, with_limits(one).dt));
            }
            // Each scale's part of the transcript is what a run at that scale
            // writes from its scale line on.
            const std::string t = one_transcript.text();
            joined += i == 0 ? t : t.substr(t.find("scale: "));
        }
        EXPECT_EQ(many_transcript.text(), joined);
        EXPECT_TRUE(many.back().error.has_value());  // 1e9 s: too long for the series
        EXPECT_EQ(many[2].scale_s, 2.0);              // limited as -s is
    }
}

TEST(Library, ModelDensityOnlyWhereAsked) {
    const Series series = Series::from_intervals(intervals_ms(2000));
    ScaleOptions without;
    without.model_density = false;
    const Result a = analyse(series, Settings{}, without);
    const Result b = analyse(series, Settings{});
    EXPECT_TRUE(a.p_model.empty());
    EXPECT_EQ(b.p_model.size(), 100u);
    EXPECT_TRUE(a.increments.empty());
    EXPECT_TRUE(same_bits(a.lambda, b.lambda));
    EXPECT_TRUE(same_bits(a.p_exp, b.p_exp));
    // Without densities: no bins at all, the same SD and lambda, and bins too
    // many to allocate are no error.
    ScaleOptions bare;
    bare.densities = false;
    Settings huge_bins;
    huge_bins.nbins = 2147483647;
    for (const Settings& settings : {Settings{}, huge_bins}) {
        const Result c = analyse(series, settings, bare);
        EXPECT_TRUE(c.bin_centre.empty() && c.p_exp.empty() && c.p_model.empty());
        EXPECT_TRUE(same_bits(c.lambda, b.lambda));
        EXPECT_TRUE(same_bits(c.sd_s, b.sd_s));
    }
}

// The per-window fits (more coefficients than the shared fit takes) against
// the shared-abscissae fits, through the stages: every double of the result.
TEST(Library, PerWindowDetrendingEqualsTheSharedFit) {
    const Series series = Series::from_intervals(intervals_ms(3000));
    for (const auto& options : std::vector<std::vector<std::string>>{{"-d", "1"}, {"-d", "3"}, {"-d", "2", "-m", "2"}}) {
        for (const double scale : {2.0, 7.25, 25.0, 130.0}) {
            const Settings settings = parsed(options);
            DiscardTranscript discard;
            ScaleOptions keep;
            keep.increments = true;
            const PreparedSeries prepared(series, settings, discard);
            const Result a = complete(increments_at(prepared, scale, discard), prepared, discard, keep);
            const Result b = complete(increments_at(prepared, scale, discard, {}, WindowFits::each_window), prepared,
                                      discard, keep);
            ASSERT_GT(a.n_increments, 0);
            expect_same(a, b, options[1] + " at " + std::to_string(scale));
        }
    }
}

TEST(Library, TwoAnalysesAtOnceGiveWhatEachGivesAlone) {
    const Series first = Series::from_intervals(intervals_ms(20000, 5));
    const Series second = Series::from_intervals(intervals_ms(15000, 7));
    Settings detrended;
    Settings plain;
    plain.degree = 0;
    plain.scale = 60;
    const Result want1 = analyse(first, detrended);
    const Result want2 = analyse(second, plain);
    for (const int threads : {1, 2, 4}) {
        ThreadPool pool(threads);
        ScaleOptions pooled;
        pooled.pool = &pool;
        expect_same(analyse(first, detrended, pooled), want1, std::to_string(threads) + " threads");
    }

    // Four analyses at once, on one pool.
    ThreadPool shared_pool(2);
    ScaleOptions pooled;
    pooled.pool = &shared_pool;
    std::vector<Result> got(4);
    std::vector<std::string> transcripts(4);
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                StringTranscript transcript;
                got[static_cast<std::size_t>(t)] = t % 2 == 0 ? analyse(first, detrended, transcript, pooled)
                                                              : analyse(second, plain, transcript, pooled);
                transcripts[static_cast<std::size_t>(t)] = transcript.text();
            });
        for (auto& t : threads) t.join();
    }
    for (int t = 0; t < 4; ++t) expect_same(got[static_cast<std::size_t>(t)], t % 2 == 0 ? want1 : want2, "thread");
    EXPECT_EQ(transcripts[0], transcripts[2]);
    EXPECT_NE(transcripts[0], transcripts[1]);

    // The stages of one prepared series shared by threads (the profile is made once).
    DiscardTranscript discard;
    const PreparedSeries prepared(first, detrended, discard);
    std::vector<Result> scales(2);
    std::thread other([&] {
        DiscardTranscript d;
        scales[1] = complete(increments_at(prepared, 50, d, pooled), prepared, d, pooled);
    });
    scales[0] = complete(increments_at(prepared, 25, discard, pooled), prepared, discard, pooled);
    other.join();
    Settings at50 = detrended;
    at50.scale = 50;
    expect_same(scales[0], want1, "shared prepared, 25 s");
    expect_same(scales[1], analyse(first, at50), "shared prepared, 50 s");
}

TEST(Library, SeriesFromMemoryAndItsUnit) {
    const std::vector<double> ms = intervals_ms(2000);
    std::vector<double> s;
    for (double v : ms) s.push_back(v / 1000);
    const Series by_rule = Series::from_intervals(ms);
    const Series in_seconds = Series::from_intervals(s);
    EXPECT_EQ(by_rule.unit(), Unit::milliseconds);
    EXPECT_EQ(in_seconds.unit(), Unit::seconds);
    EXPECT_EQ(by_rule.n_beats(), 2000u);
    double sum = 0;
    for (double v : ms) sum = sum + v;
    EXPECT_TRUE(same_bits(by_rule.duration_s(), (sum - ms.back()) / 1000));
    EXPECT_NEAR(analyse(by_rule, Settings{}).lambda, analyse(in_seconds, Settings{}).lambda, 1e-9);

    // An explicit unit overrides the rule: 0.8 "milliseconds" are far too
    // short for a 25 s scale, and 800 seconds are a long series.
    const Series tiny = Series::from_intervals(s, Unit::milliseconds);
    EXPECT_EQ(tiny.unit(), Unit::milliseconds);
    EXPECT_EQ(nongauss::testing::thrown_message([&] { analyse(tiny, Settings{}); }), "The data length is not enough!\n");
    const Series long_one = Series::from_intervals(ms, Unit::seconds);
    EXPECT_TRUE(same_bits(long_one.duration_s(), sum - ms.back()));

    EXPECT_EQ(nongauss::testing::thrown_message([] { Series::from_intervals({}); }, ErrorKind::input),
              "No data was read!");
    EXPECT_EQ(nongauss::testing::thrown_message([] { Series::from_intervals({800, std::nan(""), 700}); }, ErrorKind::input),
              "Invalid RR interval at row 2: nan (intervals must be positive and finite)");
}

TEST(Library, LogSpacedScales) {
    const std::vector<double> s = log_spaced_scales(5, 1000, 20);
    ASSERT_EQ(s.size(), 20u);
    EXPECT_EQ(s.front(), 5.0);
    EXPECT_EQ(s.back(), 1000.0);
    for (std::size_t i = 1; i < s.size(); ++i) EXPECT_NEAR(s[i] / s[i - 1], std::pow(200.0, 1.0 / 19), 1e-12);
    EXPECT_EQ(log_spaced_scales(7, 9, 1), std::vector<double>{7.0});
    EXPECT_TRUE(log_spaced_scales(7, 9, 0).empty());
}

// Scales analysed side by side on pools of 1, 2 and 4 threads give what the
// calling thread alone gives one scale after the other: the same doubles,
// the same errors, the same transcript in scale order.
TEST(Library, ScalesSideBySideEqualOneAfterTheOther) {
    const Series series = Series::from_intervals(intervals_ms(3000));
    // Errors in the middle (too long for the series) and a duplicate.
    const std::vector<double> scales = {5, 1e9, 25, 300, 2e9, 25, 7.5, 60, 1.5, 100, 3e9};
    ScaleOptions serial;
    serial.increments = true;
    for (const int threads : {1, 2, 4}) {
        ThreadPool pool(threads);
        ScaleOptions side_by_side = serial;
        side_by_side.pool = &pool;
        const Settings settings = parsed({"-d", "2"});
        StringTranscript one_after_other;
        StringTranscript at_once;
        const std::vector<Result> a = analyse_scales(series, settings, scales, one_after_other, serial);
        const std::vector<Result> b = analyse_scales(series, settings, scales, at_once, side_by_side);
        ASSERT_EQ(a.size(), scales.size());
        ASSERT_EQ(b.size(), scales.size());
        for (std::size_t i = 0; i < scales.size(); ++i) {
            ASSERT_EQ(a[i].error.has_value(), b[i].error.has_value()) << i;
            if (a[i].error) {
                EXPECT_EQ(a[i].error->message(), b[i].error->message());
                EXPECT_EQ(a[i].scale_pt, b[i].scale_pt);
            } else {
                expect_same(a[i], b[i], "scale " + std::to_string(scales[i]));
            }
        }
        EXPECT_EQ(at_once.text(), one_after_other.text()) << threads;
    }
}

// A sink that throws part way ends the call with its exception, after every
// scale started has ended, and with the transcript in order up to that point.
TEST(Library, ThrowingTranscriptEndsScalesSideBySide) {
    class Failing final : public Transcript {
    public:
        explicit Failing(int writes) : left_(writes) {}
        void write(std::string_view text) override {
            if (left_-- == 0) throw std::runtime_error("sink failed");
            text_.append(text);
        }
        int left() const { return left_; }
        std::string text_;

    private:
        int left_;
    };
    const Series series = Series::from_intervals(intervals_ms(3000));
    const std::vector<double> scales = {5, 10, 20, 40, 80, 160};
    ThreadPool pool(4);
    ScaleOptions pooled;
    pooled.pool = &pool;
    Failing whole(-1);  // never fails
    (void)analyse_scales(series, Settings{}, scales, whole, pooled);
    int total = 0;  // the pieces a whole call writes
    {
        Failing counting(1 << 30);
        (void)analyse_scales(series, Settings{}, scales, counting, pooled);
        total = (1 << 30) - counting.left();
    }
    ASSERT_GT(total, static_cast<int>(scales.size()));
    for (int writes = 0; writes < total; ++writes) {
        Failing failing(writes);
        EXPECT_THROW((void)analyse_scales(series, Settings{}, scales, failing, pooled), std::runtime_error) << writes;
        EXPECT_EQ(whole.text_.substr(0, failing.text_.size()), failing.text_) << writes;
    }
}

}  // namespace
}  // namespace nongauss
