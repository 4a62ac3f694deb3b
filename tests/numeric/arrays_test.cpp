#include "numeric/arrays.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "numeric/fatal_error.hpp"

namespace nongauss {
namespace {

TEST(Arrays, UnitOffsetVectorIsTheBlockAndGrowsByRealloc) {
    double* v = vector(1, 3);
    for (int i = 1; i <= 3; ++i) v[i] = i * 1.5;
    // With lower bound 1 the handle is the block address: it can be resized.
    double* grown = resize_vector(v, 20001);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(grown[3], 4.5);
    grown[20000] = 7.0;
    release_vector(grown, 1, 20000);

    double* empty = vector(1, 0);  // only the spare slot
    ASSERT_NE(empty, nullptr);
    release_vector(empty, 1, 0);
}

TEST(Arrays, OtherLowerBoundsAddressTheirRange) {
    double* v = vector(-2, 2);
    for (int i = -2; i <= 2; ++i) v[i] = i;
    EXPECT_EQ(v[-2] + v[2], 0.0);
    release_vector(v, -2, 2);
    int* iv = ivector(5, 9);
    for (int i = 5; i <= 9; ++i) iv[i] = i;
    EXPECT_EQ(iv[9] - iv[5], 4);
    release_ivector(iv, 5, 9);
}

TEST(Arrays, MatrixKeepsRowsContiguous) {
    double** m = matrix(1, 3, 1, 4);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 4; ++j) m[i][j] = 10 * i + j;
    // Row i follows row i-1 directly; the block's first slot is spare.
    EXPECT_EQ(&m[2][1], &m[1][4] + 1);
    EXPECT_EQ(&m[3][1], &m[1][1] + 8);
    EXPECT_EQ(m[3][4], 34.0);
    release_matrix(m, 1, 3, 1, 4);

    double** col = matrix(1, 5, 1, 1);
    for (int i = 1; i <= 5; ++i) col[i][1] = i;
    EXPECT_EQ(&col[5][1], &col[1][1] + 4);
    release_matrix(col, 1, 5, 1, 1);
}

TEST(ArraysDeathTest, ImpossibleRequestsEndWithTheAllocatorsMessage) {
    EXPECT_EXIT(vector(1, INT_MAX - 1), ::testing::ExitedWithCode(1),
                "^Run-time error\\.\\.\\.\n"
                "allocation failure in vector\\(\\)\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
    EXPECT_EXIT(ivector(1, INT_MAX - 1), ::testing::ExitedWithCode(1),
                "allocation failure in ivector\\(\\)\n");
    EXPECT_EXIT(matrix(1, INT_MAX - 1, 1, 1), ::testing::ExitedWithCode(1),
                "allocation failure 1 in matrix\\(\\)\n");
    EXPECT_EXIT(matrix(1, 2, 1, INT_MAX - 1), ::testing::ExitedWithCode(1),
                "allocation failure 2 in matrix\\(\\)\n");
    EXPECT_EQ(resize_vector(nullptr, (long long)INT_MAX * 4), nullptr);
}

TEST(FatalErrorDeathTest, ReportHasThreePartsAndKeepsTheMessagesOwnNewline) {
    EXPECT_EXIT(fatal_error("The data length is not enough!\n"), ::testing::ExitedWithCode(1),
                "^Run-time error\\.\\.\\.\n"
                "The data length is not enough!\n\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
}  // namespace nongauss
