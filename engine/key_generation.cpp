#include <cstdlib>

#include "engine/matrix_cipher.h"
#include "platform/runtime.h"
#include "platform/services.h"

namespace vekdc {

namespace {

Matrix transpose(Matrix M, int rows, int cols) {
    Matrix T = alloc_matrix(cols, rows);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            T[j][i] = M[i][j];
        }
    }
    return T;
}

// B (n x m) with B*A = J, given the first m - n columns of B: the rest is
// (J - B_first * A_top) * inverse(A_bottom), A_top being the first m - n rows
// of A and A_bottom the n x n block below them.
void complete_opposite(Matrix A, Matrix J, int m, int n, Matrix B) {
    const int k = m - n;
    MatrixPtr R(alloc_matrix(n, n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            R.get()[i][j] = A[i + k][j];
        }
    }
    MatrixPtr S(alloc_matrix(n, n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double value = J[i][j];
            for (int c = 0; c < k; ++c) {
                value = value - B[i][c] * A[c][j];
            }
            S.get()[i][j] = value;
        }
    }
    MatrixPtr Qinv(inverse_matrix(R.get(), n));
    MatrixPtr P(multiply_matrix(S.get(), Qinv.get(), n, n, n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            B[i][j + k] = P.get()[i][j];
        }
    }
}

}  // namespace

double CMatrixCipher::unit_random() {
    return platform::crt_rand() / static_cast<double>(platform::kCrtRandMax);
}

Matrix CMatrixCipher::make_key_matrix(int rows, int cols, int kind, int reseed, int seed) {
    Matrix M = alloc_matrix(rows, cols);
    if (reseed == 1) {
        platform::crt_srand(static_cast<std::uint32_t>(seed));
    }
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            if (kind == 0) {
                double value = unit_random();
                while (value == 0.0) {
                    value = unit_random();
                }
                M[i][j] = value;
            } else if (kind == 1) {
                M[i][j] = 2.0 * i * std::abs(i - j) + i + 2.0 * j + 3.0;
            } else {
                M[i][j] = 0.0;  // no such kind: a defined, useless matrix
            }
        }
    }
    return M;
}

Matrix CMatrixCipher::opposite_B_of_A(Matrix A, Matrix J, int m, int n, int reseed, int seed) {
    if (reseed == 1) {
        platform::crt_srand(static_cast<std::uint32_t>(seed));
    }
    if (m - n != 1) {
        return nullptr;
    }
    MatrixPtr B(alloc_matrix(n, m));
    for (int i = 0; i < n; ++i) {
        B.get()[i][0] = unit_random();
    }
    complete_opposite(A, J, m, n, B.get());
    return B.release();
}

Matrix CMatrixCipher::opposite_A_of_B(Matrix B, Matrix J, int n, int m, int reseed, int seed) {
    if (m - n != 1) {
        platform::exit_program(1);
    }
    if (reseed == 1) {
        platform::crt_srand(static_cast<std::uint32_t>(seed));
    }
    MatrixPtr T(transpose(B, n, m));
    MatrixPtr P(opposite_B_of_A(T.get(), J, m, n, reseed, seed));
    return transpose(P.get(), n, m);
}

Matrix CMatrixCipher::opposite_B_of_A_3(Matrix A, Matrix X, Matrix J, int m, int n, int reseed,
                                        int seed) {
    if (m - 2 * n != 1) {
        platform::exit_program(1);
    }
    if (reseed == 1) {
        platform::crt_srand(static_cast<std::uint32_t>(seed));
    }
    // The first m - n = n + 1 columns of B come from the random matrix X.
    MatrixPtr B(alloc_matrix(n, m));
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < m - n; ++c) {
            B.get()[i][c] = X[c][i];
        }
    }
    complete_opposite(A, J, m, n, B.get());
    return B.release();
}

Matrix CMatrixCipher::opposite_A_of_B_3(Matrix B, Matrix Y, Matrix J, int n, int m, int reseed,
                                        int seed) {
    if (m - 2 * n != 1) {
        platform::exit_program(1);
    }
    MatrixPtr T(transpose(B, n, m));
    MatrixPtr X(transpose(Y, n, m));
    MatrixPtr P(opposite_B_of_A_3(T.get(), X.get(), J, m, n, reseed, seed));
    return transpose(P.get(), n, m);
}

}  // namespace vekdc
