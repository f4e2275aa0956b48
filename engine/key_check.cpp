#include "engine/key_check.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace vekdc {

namespace {

// A rows x cols block of M (from row r0, column c0) as a dense copy.
std::vector<double> block_of(Matrix M, int r0, int c0, int rows, int cols) {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            values.push_back(M[r0 + i][c0 + j]);
        }
    }
    return values;
}

bool all_finite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// The numerical rank of a dense rows x cols matrix: Gaussian elimination with
// complete pivoting, a pivot counting when it stands above the rounding noise
// of the largest element.
int numerical_rank(std::vector<double> a, int rows, int cols) {
    const auto at = [&](int i, int j) -> double& {
        return a[static_cast<std::size_t>(i) * static_cast<std::size_t>(cols) +
                 static_cast<std::size_t>(j)];
    };
    double largest = 0.0;
    for (const double v : a) {
        largest = std::max(largest, std::fabs(v));
    }
    const double noise =
        largest * std::max(rows, cols) * 16.0 * std::numeric_limits<double>::epsilon();
    std::vector<int> column(static_cast<std::size_t>(cols));
    for (int j = 0; j < cols; ++j) {
        column[static_cast<std::size_t>(j)] = j;
    }
    int rank = 0;
    for (; rank < std::min(rows, cols); ++rank) {
        int pivot_row = rank;
        int pivot_col = rank;
        double pivot = 0.0;
        for (int i = rank; i < rows; ++i) {
            for (int j = rank; j < cols; ++j) {
                if (std::fabs(at(i, j)) > pivot) {
                    pivot = std::fabs(at(i, j));
                    pivot_row = i;
                    pivot_col = j;
                }
            }
        }
        if (!(pivot > noise)) {
            break;
        }
        for (int j = 0; j < cols; ++j) {
            std::swap(at(rank, j), at(pivot_row, j));
        }
        for (int i = 0; i < rows; ++i) {
            std::swap(at(i, rank), at(i, pivot_col));
        }
        for (int i = rank + 1; i < rows; ++i) {
            const double factor = at(i, rank) / at(rank, rank);
            for (int j = rank; j < cols; ++j) {
                at(i, j) -= factor * at(rank, j);
            }
        }
    }
    return rank;
}

constexpr const char* kNotFinite = "it holds a value that is not a finite number";

}  // namespace

mixing_matrices make_mixing_matrices() {
    mixing_matrices mixing;
    mixing.J.reset(alloc_matrix(kPlainLength, kPlainLength));
    for (int i = 0; i < kPlainLength; ++i) {
        for (int j = 0; j < kPlainLength; ++j) {
            mixing.J.get()[i][j] = i == j ? 1.0 : 0.0;
        }
    }
    // The inversion consumes its argument: invert a copy.
    MatrixPtr copy(alloc_matrix(kPlainLength, kPlainLength));
    copy_matrix(mixing.J.get(), copy.get(), kPlainLength, kPlainLength);
    mixing.J_inv.reset(inverse_matrix(copy.get(), kPlainLength));
    return mixing;
}

std::optional<std::string> encoding_key_problem(Matrix A) {
    const auto whole = block_of(A, 0, 0, kBlockLength, kPlainLength);
    if (!all_finite(whole)) {
        return kNotFinite;
    }
    if (numerical_rank(whole, kBlockLength, kPlainLength) < kPlainLength) {
        return "its columns are not independent (it is not of full column rank)";
    }
    // The decoding key is derived through the inverse of rows 1..11.
    const int lower = kBlockLength - kPlainLength;
    if (numerical_rank(block_of(A, lower, 0, kPlainLength, kPlainLength), kPlainLength,
                       kPlainLength) < kPlainLength) {
        return "its last " + std::to_string(kPlainLength) +
               " rows are not independent, so no decoding key can be derived from it";
    }
    return std::nullopt;
}

std::optional<std::string> decoding_key_problem(Matrix B) {
    const auto whole = block_of(B, 0, 0, kPlainLength, kBlockLength);
    if (!all_finite(whole)) {
        return kNotFinite;
    }
    if (numerical_rank(whole, kPlainLength, kBlockLength) < kPlainLength) {
        return "its rows are not independent (it is not of full row rank)";
    }
    // The encoding key is derived through the inverse of columns 1..11.
    const int right = kBlockLength - kPlainLength;
    if (numerical_rank(block_of(B, 0, right, kPlainLength, kPlainLength), kPlainLength,
                       kPlainLength) < kPlainLength) {
        return "its last " + std::to_string(kPlainLength) +
               " columns are not independent, so no encoding key can be derived from it";
    }
    return std::nullopt;
}

double key_pair_deviation(Matrix A, Matrix B, Matrix J) {
    MatrixPtr product(multiply_matrix(B, A, kPlainLength, kBlockLength, kPlainLength));
    double worst = 0.0;
    for (int i = 0; i < kPlainLength; ++i) {
        double row = 0.0;
        for (int j = 0; j < kPlainLength; ++j) {
            row += std::fabs(product.get()[i][j] - J[i][j]);
        }
        if (!std::isfinite(row)) {
            return std::numeric_limits<double>::infinity();
        }
        worst = std::max(worst, row);
    }
    return 255.0 * worst;
}

namespace {

bool is_identity(Matrix M, int n) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (M[i][j] != (i == j ? 1.0 : 0.0)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

key_tester::key_tester()
    : mixing_(make_mixing_matrices()),
      J_inv_(is_identity(mixing_.J_inv.get(), kPlainLength) ? nullptr : mixing_.J_inv.get()) {}

bool key_tester::opens(const encrypted_facts& facts, Matrix B) const {
    return open_block(facts.block, facts.type_code, B, J_inv_).has_value();
}

}  // namespace vekdc
