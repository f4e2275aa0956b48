#include <unistd.h>

#include <optional>

#include <gtest/gtest.h>

#include "Common/matrix/matrix.h"

namespace vekdc {
namespace {

MatrixPtr square(std::initializer_list<std::initializer_list<double>> rows) {
    const int n = static_cast<int>(rows.size());
    MatrixPtr m(alloc_matrix(n, n));
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (double v : row) {
            m.get()[i][j++] = v;
        }
        ++i;
    }
    return m;
}

TEST(Inverse, OfTheIdentityIsExactlyTheIdentity) {
    const int n = 11;
    MatrixPtr a(alloc_matrix(n, n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            a.get()[i][j] = i == j ? 1.0 : 0.0;
        }
    }
    MatrixPtr inv(inverse_matrix(a.get(), n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            EXPECT_EQ(inv.get()[i][j], i == j ? 1.0 : 0.0);
        }
    }
}

TEST(Inverse, TwoByTwoPivotsOnTheScaledLargestRow) {
    MatrixPtr a = square({{1, 2}, {3, 4}});
    std::int32_t index[2] = {-1, -1};
    double sign = 0;
    lu_decomposition1(a.get(), 2, index, &sign);
    EXPECT_EQ(index[0], 1);
    EXPECT_EQ(sign, -1.0);

    MatrixPtr b = square({{1, 2}, {3, 4}});
    MatrixPtr inv(inverse_matrix(b.get(), 2));
    // What the algorithm computes in doubles (exact arithmetic gives -2, 1, 1.5, -0.5).
    EXPECT_EQ(inv.get()[0][0], -1.9999999999999998);
    EXPECT_EQ(inv.get()[0][1], 1.0);
    EXPECT_EQ(inv.get()[1][0], 1.4999999999999998);
    EXPECT_EQ(inv.get()[1][1], -0.49999999999999994);
    // The input now holds its decomposition: rows swapped, multiplier 1/3 below.
    EXPECT_EQ(b.get()[0][0], 3.0);
    EXPECT_EQ(b.get()[1][0], 1.0 / 3.0);
}

TEST(Inverse, EqualCandidatesPickTheLastRowAndAZeroPivotBecomesTiny) {
    MatrixPtr a = square({{1, 1}, {1, 1}});
    std::int32_t index[2] = {-1, -1};
    double sign = 0;
    lu_decomposition1(a.get(), 2, index, &sign);
    EXPECT_EQ(index[0], 1);
    EXPECT_EQ(index[1], 1);
    EXPECT_EQ(a.get()[1][1], kTinyPivot);
}

TEST(Inverse, ForwardPassSkipsLeadingZerosWithoutChangingTheResult) {
    MatrixPtr a = square({{4, 3, 0}, {6, 3, 1}, {0, 2, 5}});
    std::int32_t index[3];
    double sign = 0;
    lu_decomposition1(a.get(), 3, index, &sign);
    double b[3] = {0.0, 0.0, 1.0};
    lu_back_substitution(a.get(), 3, index, b);
    // Column 2 of the inverse of the original matrix: A * b = e2.
    MatrixPtr original = square({{4, 3, 0}, {6, 3, 1}, {0, 2, 5}});
    for (int i = 0; i < 3; ++i) {
        const double row =
            original.get()[i][0] * b[0] + original.get()[i][1] * b[1] + original.get()[i][2] * b[2];
        EXPECT_NEAR(row, i == 2 ? 1.0 : 0.0, 1e-12);
    }
}

TEST(InverseDeathTest, AZeroRowEndsTheProgramNamingItsSubject) {
    const struct {
        const char* subject;  // nullptr: none
        const char* message;
    } cases[] = {
        {nullptr, "^singular matrix in routine \"lu_decomposition1\"\n$"},
        {"k.key", "^singular matrix in routine \"lu_decomposition1\": k.key\n$"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                std::optional<matrix_subject> subject;
                if (c.subject != nullptr) {
                    subject.emplace(c.subject);
                }
                MatrixPtr a = square({{1, 2}, {0, 0}});
                inverse_matrix(a.get(), 2);
            },
            testing::ExitedWithCode(1), c.message);
    }
}

}  // namespace
}  // namespace vekdc
