// End-to-end tests of the command line: usage text, names, exit statuses.
#include <gtest/gtest.h>

#include <string>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;

std::string usage_for(const std::string& program) {
    return "usage: " + program + " [OPTIONS ...] RRI_data_filename\n"
           "OPTION:\n"
           " -d N             detrending using a polynomial of degree N\n"
           " -s W             scale (sec)\n"
           " -q Q             order of the absolute moment for estimation\n"
           " -0               Using step step interporation\n"
           " -3               Using cubic spline interpolation\n"
           " -1               linear interpolation\n"
           " -t T             Resampling time interval, T\n"
           " -v               Standardize\n"
           " -m M             least squares fitting algorithm (M=1:normal equation\x81\x43"
           "M=2:singular value decomposition)\n"
           " -h               print this usage summary\n";
}

TEST(Cli, UsageTextByteForByteWithStatus1) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {}, {"-h", "rec.txt"}, {"-2", "rec.txt"}, {"-x", "rec.txt"}, {"-", "rec.txt"},
        {"--hel"}, {"-s"}, {"-v", "-t"}, {"--"}};
    for (const auto& args : cases) {
        const auto r = run_tool(args, dir.path(), NONGAUSS_EXE, "./my-nongauss");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, usage_for("./my-nongauss"));
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(dir.exists("rec_TS.txt"));
}

TEST(Cli, MissingOrEmptyInputEndsWithStatus1AndNothingElse) {
    ScratchDir dir;
    auto r = run_tool({"absent.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File absent.txt not found!\n");
    EXPECT_EQ(r.out, "");

    dir.write("empty.txt", "");
    dir.write("header.txt", "RR(ms)\n800\n810\n");
    const std::string banner(48, '-');
    for (const std::string name : {"empty.txt", "header.txt"}) {
        r = run_tool({name}, dir.path());
        EXPECT_EQ(r.status, 1);
        // The message, then for text on the first row a hint that names it.
        const std::string expected = banner + "\nInput file: " + name + ".\n" + banner + "\nNo data was read!\n";
        EXPECT_EQ(r.err.substr(0, expected.size()), expected);
        EXPECT_EQ(r.err.size() > expected.size(), name == "header.txt") << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(dir.exists("empty_TS.txt"));
    EXPECT_FALSE(dir.exists("header_TS.txt"));
}

}  // namespace
}  // namespace nongauss
