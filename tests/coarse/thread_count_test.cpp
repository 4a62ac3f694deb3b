// The loops that give each part of their work its own scratch space size it
// by the same thread count they split the work by, even when the processor
// count grows while the program runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(ThreadCount, AProcessorCountThatGrowsDuringTheRunChangesNothing) {
    ScratchDir dir;
    dir.write("rec.txt", nongauss::testing::irregular_ms(20000));
    const auto plain = run_tool({"-d", "3", "-s", "10", "rec.txt"}, dir.path());
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::string ts = dir.read("rec_TS.txt");

    const char* asan = std::getenv("ASAN_OPTIONS");
    const ScopedEnv link_order("ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0");
    const ScopedEnv preload("LD_PRELOAD", NONGAUSS_GROWING_NPROCS);
    const auto grown = run_tool({"-d", "3", "-s", "10", "rec.txt"}, dir.path());
    EXPECT_EQ(grown.status, 0) << grown.err;
    EXPECT_EQ(grown.out, plain.out);
    EXPECT_EQ(dir.read("rec_TS.txt"), ts);
}

}  // namespace
}  // namespace nongauss
