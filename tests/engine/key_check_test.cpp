// What the engine asks of a key before it encodes with it.
#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "engine/key_check.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

// A 12 x 11 encoding key with A(i, j) = 1 where i == j + 1 and row 0 set
// to the last unit vector: of full rank, and its last eleven rows too.
MatrixPtr unit_encoding_key() {
    MatrixPtr A(alloc_matrix(kBlockLength, kPlainLength));
    for (int i = 0; i < kBlockLength; ++i) {
        for (int j = 0; j < kPlainLength; ++j) {
            A.get()[i][j] = i == j + 1 ? 1.0 : 0.0;
        }
    }
    A.get()[0][kPlainLength - 1] = 1.0;
    return A;
}

MatrixPtr transposed(Matrix M, int rows, int cols) {
    MatrixPtr T(alloc_matrix(cols, rows));
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            T.get()[j][i] = M[i][j];
        }
    }
    return T;
}

struct KeyCase {
    const char* what;
    std::function<void(Matrix)> spoil;  // applied to a good 12 x 11 key
    const char* problem;                // the start of the answer, or nullptr
};

const KeyCase kKeyCases[] = {
    {"a good key", [](Matrix) {}, nullptr},
    {"not a number", [](Matrix A) { A[3][4] = std::nan(""); }, "it holds a value that is not"},
    {"infinite", [](Matrix A) { A[11][0] = -std::numeric_limits<double>::infinity(); },
     "it holds a value that is not"},
    {"all zero",
     [](Matrix A) {
         for (int i = 0; i < kBlockLength; ++i) {
             for (int j = 0; j < kPlainLength; ++j) {
                 A[i][j] = 0.0;
             }
         }
     },
     "its "},
    {"two equal lines",
     [](Matrix A) {
         for (int i = 0; i < kBlockLength; ++i) {
             A[i][2] = A[i][5];
         }
     },
     "its "},
    {"lower block singular",
     [](Matrix A) {
         // Row 1 (the first unit vector) is dropped from the lower block;
         // row 0 takes it over, so the whole key keeps its rank.
         A[0][0] = 1.0;
         A[0][kPlainLength - 1] = 0.0;
         A[1][0] = 0.0;
         A[11][kPlainLength - 1] = 1.0;
     },
     "its last 11 "},
};

TEST(KeyProblems, EncodingKeysMustBeFiniteAndOfFullRank) {
    for (const auto& c : kKeyCases) {
        SCOPED_TRACE(c.what);
        MatrixPtr A = unit_encoding_key();
        c.spoil(A.get());
        const auto problem = encoding_key_problem(A.get());
        if (c.problem == nullptr) {
            EXPECT_FALSE(problem.has_value()) << *problem;
        } else {
            ASSERT_TRUE(problem.has_value());
            EXPECT_EQ(problem->rfind(c.problem, 0), 0u) << *problem;
        }
    }
}

TEST(KeyProblems, DecodingKeysAreTheTransposedCase) {
    for (const auto& c : kKeyCases) {
        SCOPED_TRACE(c.what);
        MatrixPtr A = unit_encoding_key();
        c.spoil(A.get());
        const MatrixPtr B = transposed(A.get(), kBlockLength, kPlainLength);
        const auto problem = decoding_key_problem(B.get());
        EXPECT_EQ(problem.has_value(), c.problem != nullptr);
    }
}

TEST(KeyProblems, RandomKeysAndTheirDerivedPartnersAreUsable) {
    for (unsigned seed : {1u, 2u, 30u}) {
        const MatrixPtr B = test::make_decoding_key(seed);
        const MatrixPtr A = test::encoding_key_for(B.get());
        EXPECT_FALSE(decoding_key_problem(B.get()).has_value()) << seed;
        EXPECT_FALSE(encoding_key_problem(A.get()).has_value()) << seed;
    }
}

TEST(KeyPairDeviation, APairFitsOnlyWhenBUndoesA) {
    const MatrixPtr J = test::identity_matrix(kPlainLength);
    const MatrixPtr B = test::make_decoding_key(5);
    const MatrixPtr A = test::encoding_key_for(B.get());
    EXPECT_LE(key_pair_deviation(A.get(), B.get(), J.get()), kKeyCheckTolerance / 100);

    struct Case {
        double change;
        bool fits;
    } cases[] = {{1e-12, true}, {1e-6, false}, {1e-3, false}, {std::nan(""), false}};
    for (const auto& c : cases) {
        MatrixPtr spoiled(alloc_matrix(kBlockLength, kPlainLength));
        copy_matrix(A.get(), spoiled.get(), kBlockLength, kPlainLength);
        spoiled.get()[4][7] += c.change;
        const double deviation = key_pair_deviation(spoiled.get(), B.get(), J.get());
        EXPECT_EQ(deviation <= kKeyCheckTolerance, c.fits) << c.change << ": " << deviation;
    }
}

TEST(KeyOpens, AnInspectedFileOpensWithItsKeyOnly) {
    const MatrixPtr B = test::make_decoding_key(6);
    const MatrixPtr A = test::encoding_key_for(B.get());
    const MatrixPtr other = test::make_decoding_key(7);
    encrypted_facts facts;
    facts.type_code = 91;
    facts.block = encipher({91, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, A.get());
    EXPECT_TRUE(key_tester().opens(facts, B.get()));
    EXPECT_FALSE(key_tester().opens(facts, other.get()));
    facts.type_code = 81;  // the header says another type
    EXPECT_FALSE(key_tester().opens(facts, B.get()));
}

}  // namespace
}  // namespace vekdc
