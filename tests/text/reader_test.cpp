#include "nongauss/number_reader.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "nongauss/error.hpp"
#include "nongauss/series.hpp"
#include "support/run_tool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::ScratchDir;

struct Read {
    int n;
    std::string err;
    std::vector<double> v;  // v[k] = rri[k]; v[0] unused
};

// The numbers of a text, and the transcript and report of reading it as a series.
Read read_text(const std::string& content) {
    ScratchDir dir;
    const auto path = dir.write("in.txt", content);
    std::FILE* file = std::fopen(path.c_str(), "r");
    const NumbersRead numbers = read_numbers(file);
    std::fclose(file);
    Read r{static_cast<int>(numbers.values.size()), "", {0.0}};
    r.v.insert(r.v.end(), numbers.values.begin(), numbers.values.end());
    StringTranscript transcript;
    try {
        Series::read_file(path, transcript);
    } catch (const Error& e) {
        r.err = e.report();
    }
    r.err = transcript.text() + r.err;
    return r;
}

// The transcript and the report of reading `path` as a series.
std::string read_report(const std::string& path) {
    StringTranscript transcript;
    try {
        Series::read_file(path, transcript);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::input);
        return transcript.text() + e.report();
    }
    return transcript.text();
}

TEST(Reader, NumbersSeparatedByAnyWhiteSpace) {
    for (const char* text : {"812\n790\n805\n", "812\t790\t805", "  812\r\n790\r\n805\r\n"}) {
        const Read r = read_text(text);
        ASSERT_EQ(r.n, 3) << text;
        EXPECT_EQ(r.v[1], 812);
        EXPECT_EQ(r.v[2], 790);
        EXPECT_EQ(r.v[3], 805);
    }
    const Read cols = read_text("1 2\n3 4\n");  // two columns read row by row
    ASSERT_EQ(cols.n, 4);
    EXPECT_EQ(cols.v[2], 2);
    EXPECT_EQ(cols.v[3], 3);
}

TEST(Reader, StopsAtTheFirstTextThatDoesNotBeginANumber) {
    Read r = read_text("800\n810ms\n820\n");
    EXPECT_EQ(r.n, 2);
    EXPECT_EQ(r.v[2], 810);
    r = read_text("0,812\n0,790\n");  // decimal comma: the integer part, then stop
    EXPECT_EQ(r.n, 1);
    EXPECT_EQ(r.v[1], 0);
    r = read_text("800\nnan\n900\n");
    EXPECT_EQ(r.n, 1);
    r = read_text("1.2.5 7");  // "1.2" then ".5" then "7"
    ASSERT_EQ(r.n, 3);
    EXPECT_EQ(r.v[2], 0.5);
    r = read_text("-1.25e+2 1E1");
    ASSERT_EQ(r.n, 2);
    EXPECT_EQ(r.v[1], -125);
    EXPECT_EQ(r.v[2], 10);
}

TEST(Reader, BannerAndNoData) {
    const std::string banner(48, '-');
    for (const char* text : {"", "RR\n800\n", "\xEF\xBB\xBF" "800\n"}) {
        const Read r = read_text(text);
        EXPECT_EQ(r.n, 0);
        EXPECT_NE(r.err.find(banner + "\nInput file: "), std::string::npos);
        EXPECT_NE(r.err.find(".\n" + banner + "\nNo data was read!\n"), std::string::npos);
    }
}

TEST(Reader, MissingFileHasNoBanner) {
    EXPECT_EQ(read_report("/nonexistent/rec.txt"), "File /nonexistent/rec.txt not found!\n");
}

TEST(Reader, ReadErrorIsNotTakenForTheEndOfTheFile) {
    // A directory opens for reading but cannot be read.
    ScratchDir dir;
    const std::string banner(48, '-');
    EXPECT_EQ(read_report(dir.path().string()),
              banner + "\nInput file: " + dir.path().string() + ".\n" + banner +
                  "\nError while reading input file " + dir.path().string() + "!\n");
}

TEST(Reader, GrowsPastTheStepBoundaries) {
    for (int n : {9999, 10000, 10001, 25000}) {
        std::string text;
        for (int i = 1; i <= n; ++i) text += std::to_string(i) + "\n";
        const Read r = read_text(text);
        ASSERT_EQ(r.n, n);
        EXPECT_EQ(r.v[n], n);
        EXPECT_EQ(r.v[1], 1);
    }
}

TEST(Reader, NumbersAcrossChunkBoundaries) {
    // Long runs of white space and long numbers put numbers across the
    // reader's internal chunks; every value must come out whole.
    std::string text;
    std::vector<double> expect;
    for (int i = 0; i < 3000; ++i) {
        text += std::string(37 + i % 53, ' ');
        const std::string num = "0." + std::string(i % 70, '0') + std::to_string(i + 1);
        text += num;
        expect.push_back(std::stod(num));
    }
    const Read r = read_text(text);
    ASSERT_EQ(r.n, 3000);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(r.v[i + 1], expect[i]) << i;
}

// What read_numbers makes of `content`, read from a file (size known) or,
// with `stream`, from memory (size unknown).
NumbersRead numbers_of(const std::string& content, bool stream = false) {
    if (stream) {
        std::string copy = content;
        std::FILE* file = fmemopen(copy.data(), copy.size(), "r");
        NumbersRead read = read_numbers(file);
        std::fclose(file);
        return read;
    }
    ScratchDir dir;
    const auto path = dir.write("in.txt", content);
    std::FILE* file = std::fopen(path.c_str(), "r");
    NumbersRead read = read_numbers(file);
    std::fclose(file);
    return read;
}

TEST(Reader, NumbersAndStopsAtEveryPlaceAroundTheChunkEnds) {
    // A long number, a short one and the stopping word put at every offset
    // around the ends of chunks of several sizes: the same values, the whole
    // word (its first 24 bytes) and the same offset wherever the ends fall.
    const std::string word = "RR_interval_in_milliseconds_from_the_monitor";
    const double first = std::strtod("-0.1234567890123456789e-2", nullptr);
    for (const std::size_t chunk : {std::size_t{1} << 16, std::size_t{1} << 17, std::size_t{1} << 18}) {
        for (std::size_t shift = 0; shift <= 60; shift += 3) {
            const std::string pad(chunk - 50 + shift, ' ');
            const std::string text = pad + "-0.1234567890123456789e-2\n812\n" + word + "\n5\n";
            for (const bool stream : {false, true}) {
                const NumbersRead r = numbers_of(text, stream);
                ASSERT_EQ(r.values.size(), 2u) << chunk << " " << shift;
                EXPECT_EQ(r.values[0], first);
                EXPECT_EQ(r.values[1], 812);
                EXPECT_FALSE(r.truncated || r.read_error);
                EXPECT_TRUE(r.stopped_at_text);
                EXPECT_EQ(r.stop_text, word.substr(0, stop_text_limit)) << chunk << " " << shift;
                EXPECT_EQ(r.stop_offset, static_cast<long long>(pad.size() + 30)) << chunk << " " << shift;
            }
        }
    }
}

TEST(Reader, WordsLongerThanAChunk) {
    // A number of 300001 digits (leading zeros) is read whole.
    NumbersRead r = numbers_of("7 " + std::string(300000, '0') + "1.5 9\n");
    ASSERT_EQ(r.values.size(), 3u);
    EXPECT_EQ(r.values[1], 1.5);
    EXPECT_EQ(r.values[2], 9);
    EXPECT_FALSE(r.stopped_at_text);
    // A word that is no number stops reading; 24 bytes of it are kept.
    r = numbers_of("812 " + std::string(300000, 'x') + " 5");
    ASSERT_EQ(r.values.size(), 1u);
    EXPECT_TRUE(r.stopped_at_text);
    EXPECT_EQ(r.stop_text, std::string(stop_text_limit, 'x'));
    EXPECT_EQ(r.stop_offset, 4);
    // A number followed directly by text: the number, then the stop there.
    r = numbers_of(std::string(131070, ' ') + "0.5e+x");
    ASSERT_EQ(r.values.size(), 1u);
    EXPECT_EQ(r.values[0], 0.5);
    EXPECT_EQ(r.stop_text, "e+x");
    EXPECT_EQ(r.stop_offset, 131073);
}

TEST(Reader, StorageGrowsWhateverTheLengthsOfTheNumbers) {
    // The room for the values is guessed from the first rows of a file; rows
    // much shorter or much longer later on must not change what is read.
    for (const bool short_first : {true, false}) {
        std::string text;
        std::vector<double> want;
        for (int i = 0; i < 60000; ++i) {
            const bool is_short = (i < 15000) == short_first;
            const std::string number =
                is_short ? std::to_string(i % 10) : "0." + std::to_string(100000000000 + i) + "00000";
            text += number + (is_short ? "\n" : "\r\n");
            want.push_back(std::strtod(number.c_str(), nullptr));
        }
        for (const bool stream : {false, true}) {
            const NumbersRead r = numbers_of(text, stream);
            EXPECT_EQ(r.values, want) << short_first << stream;
            EXPECT_FALSE(r.stopped_at_text || r.truncated || r.read_error);
        }
    }
}

// A word longer than the reader takes ends reading as text does: the numbers
// before it are the series, and the word's first bytes are kept.
TEST(Reader, AWordBeyondAMebibyteEndsReading) {
    for (const char fill : {'7', 'e'}) {
        for (const bool stream : {false, true}) {
            const NumbersRead r = numbers_of("812 790\n" + std::string(max_token_bytes, fill) + " 805\n", stream);
            EXPECT_EQ(r.values, (std::vector<double>{812, 790})) << fill;
            EXPECT_TRUE(r.stopped_at_text && r.stopped_at_long_word) << fill;
            EXPECT_EQ(r.stop_text, std::string(stop_text_limit, fill));
            EXPECT_EQ(r.stop_offset, 8);
        }
    }
    // One byte less is a word like any other.
    const NumbersRead r = numbers_of("812 " + std::string(max_token_bytes - 1, '7') + " 805\n");
    EXPECT_EQ(r.values.size(), 3u);
    EXPECT_FALSE(r.stopped_at_text || r.stopped_at_long_word);
    const std::string report = read_text("812 790 " + std::string(max_token_bytes + 5, '0') + "1\n").err;
    EXPECT_NE(report.find("Warning: reading stopped at row 3 at \"000"), std::string::npos) << report;
    EXPECT_NE(report.find("...\", a word of more than 1048576 bytes: "), std::string::npos) << report;
}

// A transcript that changes the file it is read from when the banner comes,
// after the file is open and before it is read: the seam of another program
// writing the file meanwhile.
class ChangingTranscript final : public Transcript {
public:
    ChangingTranscript(std::filesystem::path path, std::string append, std::size_t truncate_to)
        : path_(std::move(path)), append_(std::move(append)), truncate_to_(truncate_to) {}
    void write(std::string_view text) override {
        text_.append(text);
        if (done_) return;
        done_ = true;
        if (truncate_to_ != std::string::npos) std::filesystem::resize_file(path_, truncate_to_);
        std::FILE* f = std::fopen(path_.c_str(), "a");
        std::fputs(append_.c_str(), f);
        std::fclose(f);
    }
    std::string text_;

private:
    std::filesystem::path path_;
    std::string append_;
    std::size_t truncate_to_;
    bool done_ = false;
};

TEST(Reader, AFileChangedWhileItIsReadIsReported) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += std::to_string(700 + i % 200) + "\n";
    const struct {
        const char* name;
        std::string append;
        std::size_t truncate_to;
        bool warned;
    } cases[] = {
        {"untouched", "", std::string::npos, false},
        {"appended", "812\n790\n", std::string::npos, true},
        {"cut short", "", 4000, true},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const auto path = dir.write("in.txt", text);
        ChangingTranscript transcript(path, c.append, c.truncate_to);
        const Series series = Series::read_file(path.string(), transcript);
        const bool warned = transcript.text_.find("Warning: the input changed while it was read (") != std::string::npos;
        EXPECT_EQ(warned, c.warned) << c.name << transcript.text_;
        EXPECT_EQ(!series.warnings().empty() && series.warnings()[0].rfind("the input changed", 0) == 0, c.warned)
            << c.name;
        EXPECT_EQ(series.reading_warnings(), c.warned ? 1u : 0u) << c.name;
    }
}

}  // namespace
}  // namespace nongauss

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "support/sanitizers.hpp"

namespace nongauss {
namespace {

TEST(ReaderMemory, StorageThatCannotGrowTruncatesTheInputAtAStepBoundary) {
    if (testing::address_sanitizer || testing::thread_sanitizer)
        GTEST_SKIP() << "address-space limits do not apply under the sanitizers";
    ScratchDir dir;
    {
        std::ofstream out(dir.path() / "big.txt");
        for (int i = 0; i < 4000000; ++i) out << "0.001\n";  // short in time: the run can go on
    }
    // With the address space limited, the series storage cannot grow to 4
    // million values: the reader keeps what it has and says where it stopped.
    const std::string command = "cd '" + dir.path().string() + "' && ulimit -v 30000 && '" +
                                NONGAUSS_EXE + "' -1 big.txt >out 2>err";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    const std::string err = dir.read("err");
    const std::string marker = ": insufficient memory, truncating input at row ";
    const auto at = err.find(marker);
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.substr(0, at), std::string(48, '-') + "\nInput file: big.txt.\n" +
                                     std::string(48, '-') + "\n" + NONGAUSS_EXE);
    const int row = std::atoi(err.c_str() + at + marker.size());
    EXPECT_GT(row, 0);
    EXPECT_LT(row, 4000000);
    EXPECT_EQ(row % 10000, 0);
    EXPECT_NE(err.find("number of input data: " + std::to_string(row - 1) + "\n"), std::string::npos);
    // The tool's own line is followed by a warning, which the scan's table carries too.
    const std::string warning = "Warning: insufficient memory: reading stopped at row " + std::to_string(row) +
                                ", and only the " + std::to_string(row - 1) + " intervals before it are analysed";
    EXPECT_EQ(err.find('\n', at) + 1, err.find(warning)) << err;
    const std::string scan = "cd '" + dir.path().string() + "' && ulimit -v 30000 && '" + NONGAUSS_SCAN_EXE +
                             "' -1 -s 25 big.txt >table 2>/dev/null";
    std::system(scan.c_str());
    EXPECT_NE(dir.read("table").find("\tinsufficient memory: reading stopped at row "), std::string::npos)
        << dir.read("table");
}

TEST(ReaderMemory, AHugeWordTakesNoMoreThanAMebibyteOrTwo) {
    if (testing::address_sanitizer || testing::thread_sanitizer)
        GTEST_SKIP() << "address-space limits do not apply under the sanitizers";
    ScratchDir dir;
    {
        std::ofstream out(dir.path() / "word.txt");
        for (int i = 0; i < 600; ++i) out << (700 + i % 200) << "\n";
        out << std::string(std::size_t{64} << 20, '7') << "\n812\n";  // 64 MiB of digits
    }
    const std::string command = "cd '" + dir.path().string() + "' && ulimit -v 30000 && '" + NONGAUSS_EXE +
                                "' -d 0 -s 10 word.txt >out 2>err";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << dir.read("err");
    EXPECT_NE(dir.read("err").find("Warning: reading stopped at row 601 at \"7777"), std::string::npos)
        << dir.read("err");
}

}  // namespace
}  // namespace nongauss
