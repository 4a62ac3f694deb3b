#include "nongauss/table_shape.hpp"

#include <gtest/gtest.h>

namespace nongauss {
namespace {

TEST(TableShape, LayoutsOfTheFirstLines) {
    const struct {
        const char* name;
        const char* head;
        bool complete;
        bool decimal_comma;
        int fields;
        char delimiter;
        bool numeric, comma;
        int time, interval;
    } cases[] = {
        {"one column", "812\n790\n805\n", true, false, 1, ' ', true, false, 0, 0},
        {"time s from 0, ms", "0.000\t812\n0.812\t790\n1.602\t805\n", true, false, 2, '\t', true, false, 1, 2},
        {"time s at the end, ms", "0.812 812\n1.602 790\n2.407 805\n", true, false, 2, ' ', true, false, 1, 2},
        {"ms, then time in ms", "812,812\n790,1602\n805,2407\n", true, false, 2, ',', true, false, 2, 1},
        {"two intervals a line", "812 790\n805 799\n830 845\n", true, false, 2, ' ', true, false, 0, 0},
        {"only two lines", "0.000\t812\n0.812\t790\n", true, false, 2, '\t', true, false, 0, 0},
        {"steps 5 % off", "0\t812\n850\t790\n1680\t805\n", true, false, 2, '\t', true, false, 0, 0},
        {"header, decimal commas", "time;RR\n0,812;0,812\n1,602;0,790\n2,407;0,805\n", true, false, 2, ';', true, true, 1, 2},
        {"decimal commas expected", "0,812;0,812\n1,602;0,790\n2,407;0,805\n", true, true, 2, ';', true, false, 1, 2},
        {"points where commas are expected", "0.812;812\n1.602;790\n", true, true, 2, ';', false, false, 0, 0},
        {"fields differ", "0.000\t812\n0.812\t790\t1\n1.602\t805\n", true, false, 0, '\t', false, false, 0, 0},
        {"a cut last line is left out", "0.000\t812\n0.812\t790\n1.602\t805\n2.4", false, false, 2, '\t', true, false, 1, 2},
        {"text ends the data", "0.000\t812\n0.812\t790\nend\n1.602\t805\n", true, false, 2, '\t', true, false, 0, 0},
        {"no data line", "RR\n", true, false, 0, 0, false, false, 0, 0},
    };
    for (const auto& c : cases) {
        const TableShape s = survey_table(c.head, c.complete, c.decimal_comma);
        EXPECT_EQ(s.fields, c.fields) << c.name;
        EXPECT_EQ(s.delimiter, c.delimiter) << c.name;
        EXPECT_EQ(s.numeric, c.numeric) << c.name;
        EXPECT_EQ(s.decimal_comma, c.comma) << c.name;
        EXPECT_EQ(s.time_column, c.time) << c.name;
        EXPECT_EQ(s.interval_column, c.interval) << c.name;
    }
    EXPECT_EQ(time_and_interval_text(survey_table("0\t812\n812\t790\n1602\t805\n", true)),
              "every line holds 2 numbers, and column 1 rises by the values of column 2, as the time of each "
              "beat does");
}

}  // namespace
}  // namespace nongauss
