// The heap reservation of the whole-run programs: later blocks lie in memory
// advised for huge pages, and a reservation that cannot be had changes nothing.
#include "nongauss/heap.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "support/sanitizers.hpp"

namespace nongauss {
namespace {

// The VmFlags line of the mapping of this process that holds `address`, or ""
// when /proc/self/smaps names no such mapping.
std::string flags_of_mapping_at(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0;
        std::uintptr_t end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> begin >> dash >> end && dash == '-' && line.find(':') > line.find(' ')) {
            inside = begin <= at && at < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0) return line;
    }
    return "";
}

TEST(HeapSetup, LaterBlocksLieInMemoryAdvisedForHugePages) {
    if (testing::address_sanitizer || testing::thread_sanitizer) {
        EXPECT_FALSE(prepare_heap(std::size_t{64} << 20)) << "a sanitizer's heap is left alone";
        return;
    }
    if (!prepare_heap(std::size_t{64} << 20)) GTEST_SKIP() << "no reservation on this system";
    constexpr std::size_t bytes = std::size_t{16} << 20;
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < bytes; i += 4096) block[i] = static_cast<unsigned char>(i >> 12);
    const std::string flags = flags_of_mapping_at(block + bytes / 2);
    EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
    bool intact = true;
    for (std::size_t i = 0; i < bytes; i += 4096) intact = intact && block[i] == static_cast<unsigned char>(i >> 12);
    EXPECT_TRUE(intact);
    std::free(block);
}

TEST(HeapSetup, ReservationThatCannotBeHadChangesNothing) {
    EXPECT_FALSE(prepare_heap(std::size_t{1} << 30));  // beyond the largest reservation
    EXPECT_FALSE(prepare_heap(0));
    void* block = std::malloc(1 << 20);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, 1 << 20);
    std::free(block);
}

TEST(HeapSetup, ThreadsShareTheHeap) {
    // In a fresh process, as in a run: a block that another thread allocates
    // after the set-up lies in the same heap.
    std::FILE* probe = popen(NONGAUSS_HEAP_PROBE, "r");
    ASSERT_NE(probe, nullptr);
    char state[16] = {};
    int thread_in_heap = 0;
    const int fields = std::fscanf(probe, "%15s %d", state, &thread_in_heap);
    pclose(probe);
    ASSERT_EQ(fields, 2);
    if (std::string(state) == "unmarked") {
        if (testing::address_sanitizer || testing::thread_sanitizer) return;
        GTEST_SKIP() << "no reservation on this system";
    }
    EXPECT_EQ(std::string(state), "marked");
    EXPECT_EQ(thread_in_heap, 1);
}

}  // namespace
}  // namespace nongauss
