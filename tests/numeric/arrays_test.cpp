#include "numeric/arrays.hpp"

#include <gtest/gtest.h>

#include <string>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "numeric/fatal_error.hpp"
#include "support/errors.hpp"

namespace nongauss {
namespace {

using nongauss::testing::thrown_message;

TEST(Arrays, UnitOffsetVectors) {
    double* v = vector(1, 3);
    for (int i = 1; i <= 3; ++i) v[i] = i * 1.5;
    EXPECT_EQ(v[3], 4.5);
    release_vector(v, 1, 3);

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

TEST(Arrays, ImpossibleRequestsThrowTheAllocatorsMessage) {
    EXPECT_EQ(thrown_message([] { vector(1, INT_MAX - 1); }), "allocation failure in vector()");
    EXPECT_EQ(thrown_message([] { ivector(1, INT_MAX - 1); }), "allocation failure in ivector()");
    EXPECT_EQ(thrown_message([] { matrix(1, INT_MAX - 1, 1, 1); }), "allocation failure 1 in matrix()");
    EXPECT_EQ(thrown_message([] { matrix(1, 2, 1, INT_MAX - 1); }), "allocation failure 2 in matrix()");
    EXPECT_EQ(thrown_message([] { OwnedVector v(1, INT_MAX - 1); }), "allocation failure in vector()");
}

TEST(FatalError, ReportHasThreePartsAndKeepsTheMessagesOwnNewline) {
    try {
        fatal_error("The data length is not enough!\n");
        FAIL() << "fatal_error returned";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::fatal);
        EXPECT_EQ(e.message(), "The data length is not enough!\n");
        EXPECT_STREQ(e.what(), "The data length is not enough!\n");
        EXPECT_EQ(e.report(), "Run-time error...\nThe data length is not enough!\n\n...now exiting to system...\n");
    }
    EXPECT_EQ(Error(ErrorKind::input, "No data was read!").report(), "No data was read!\n");
}

TEST(Arrays, OwnersReleaseAndMove) {
    OwnedVector a(1, 4);
    double* handle = a;
    a[4] = 2.5;
    OwnedVector b(std::move(a));
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(b.get(), handle);
    EXPECT_EQ(b[4], 2.5);
    OwnedMatrix m(1, 2, 1, 3);
    m[2][3] = 7;
    OwnedMatrix n;
    n = std::move(m);
    EXPECT_EQ(n[2][3], 7.0);
    b.reset();
    EXPECT_EQ(b.get(), nullptr);
    const std::vector<double> zero_based = {1.0, 2.0};
    EXPECT_EQ(unit_offset(zero_based.data())[2], 2.0);
}

}  // namespace
}  // namespace nongauss
