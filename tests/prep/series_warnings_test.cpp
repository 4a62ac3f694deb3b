// The texts of the warnings about a series as read: what they find, and what
// they say about it.
#include "prep/series_warnings.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nongauss/error.hpp"
#include "support/run_tool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::has;

TEST(SeriesWarnings, TextIsShownSafelyAndShort) {
    EXPECT_EQ(printable_excerpt("NA"), "NA");
    EXPECT_EQ(printable_excerpt(std::string("\0x", 2)), "\\x00x");
    EXPECT_EQ(printable_excerpt("a\"b\\c\x1b[2J"), "a\\\"b\\\\c\\x1B[2J");  // no terminal control gets through
    EXPECT_EQ(printable_excerpt("\xef\xbb\xbfRR"), "\\xEF\\xBB\\xBFRR");
    EXPECT_EQ(printable_excerpt(std::string(30, 'x')), std::string(20, 'x') + "...");
}

TEST(SeriesWarnings, ReadingStoppedEarlySaysWhereAndHowMuchWasLeft) {
    ReadStop stop;
    stop.row = 9000;
    stop.text = "NA";
    stop.unread_bytes = 250;
    stop.total_bytes = 1000;
    const std::string w = read_stop_warning(stop);
    EXPECT_TRUE(has(w, "row 9000")) << w;
    EXPECT_TRUE(has(w, "\"NA\"")) << w;
    EXPECT_TRUE(has(w, "250 of 1000 bytes (25.0 %)")) << w;
    EXPECT_TRUE(has(w, "only the 8999 intervals before it")) << w;
    stop.unread_bytes = stop.total_bytes = -1;  // a pipe
    EXPECT_TRUE(has(read_stop_warning(stop), "the rest of the input was not read"));
    stop.row = 1;
    stop.text = "RR_ms";
    const std::string hint = read_stop_hint(stop);
    EXPECT_EQ(hint.rfind("Hint: ", 0), 0u);
    EXPECT_TRUE(has(hint, "\"RR_ms\"") && has(hint, "header") && has(hint, "nongauss-clean --column")) << hint;
}

TEST(SeriesWarnings, AFileThatChangedWhileItWasRead) {
    const FileStamp file{true, 5000, 100, 7};
    const auto with = [](FileStamp s, long long size, long ns) {
        s.size = size;
        s.mtime_ns = ns;
        return s;
    };
    const struct {
        const char* name;
        FileStamp opened, left;
        long long read;
        bool to_end, warned;
    } cases[] = {
        {"unchanged", file, file, 5000, true, false},
        {"stopped at text", file, file, 1200, false, false},
        {"grew", file, with(file, 5100, 9), 5100, true, true},
        {"shrank", file, with(file, 3000, 9), 3000, true, true},
        {"rewritten", file, with(file, 5000, 9), 5000, true, true},
        {"fewer bytes than it held", file, file, 4000, true, true},
        {"a pseudo-file", with(file, 0, 7), with(file, 0, 7), 300, true, false},
        {"not a regular file", FileStamp{}, FileStamp{}, 300, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(changed_while_read_warning(c.opened, c.left, c.read, c.to_end).has_value(), c.warned) << c.name;
    EXPECT_EQ(*changed_while_read_warning(file, with(file, 3000, 9), 3000, true),
              "the input changed while it was read (5000 bytes when opened, 3000 at the end, 3000 read): the "
              "series may be cut short or mixed; analyse it once it is complete, or a copy of it");
}

TEST(SeriesWarnings, IntervalsOutsideThePlausibleRange) {
    std::vector<double> ms(1000, 800.0);
    EXPECT_FALSE(range_warning(ms, 1000.0));
    ms[10] = 200.0;   // the bounds belong to the range
    ms[11] = 3000.0;
    EXPECT_FALSE(range_warning(ms, 1000.0));
    ms[100] = 30000.0;  // a 30-s gap
    ms[700] = 1285000.0;
    ms[5] = 150.0;
    const auto w = range_warning(ms, 1000.0);
    ASSERT_TRUE(w);
    EXPECT_TRUE(has(*w, "3 of 1000 intervals lie outside 0.2-3.0 s")) << *w;
    // (30 + 1285 + 0.15) s of 995 * 0.8 + 0.2 + 3.0 + 1315.15 s.
    EXPECT_TRUE(has(*w, "cover 62.20 % of the time")) << *w;
    EXPECT_TRUE(has(*w, "the longest is 1285 s at row 701")) << *w;
    EXPECT_TRUE(has(*w, "nongauss-clean")) << *w;
    std::vector<double> short_only(50, 0.8);
    short_only[7] = 0.05;
    EXPECT_TRUE(has(*range_warning(short_only, 1.0), "the shortest is 0.05 s at row 8"));
}

TEST(SeriesWarnings, AUnitTheRestOfTheSeriesContradicts) {
    std::vector<double> ms(101, 812.0);
    ms[0] = 95.0;  // a spurious first value: taken as seconds
    const auto w = unit_warning(ms, Unit::seconds);
    ASSERT_TRUE(w);
    EXPECT_TRUE(has(*w, "first value, 95, makes the unit seconds")) << *w;
    EXPECT_TRUE(has(*w, "median of the other intervals, 812, would make it milliseconds")) << *w;
    EXPECT_TRUE(has(*w, "remove it")) << *w;
    std::vector<double> s(101, 0.8);
    s[0] = 350.0;  // seconds with the start time first: taken as milliseconds
    EXPECT_TRUE(unit_warning(s, Unit::milliseconds));
    ms[0] = 812.0;
    EXPECT_FALSE(unit_warning(ms, Unit::milliseconds));
    EXPECT_FALSE(unit_warning({95.0}, Unit::seconds));  // nothing to compare with
}

}  // namespace
}  // namespace nongauss
