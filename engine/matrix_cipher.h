// The cipher engine: runs a described job (keys, encode list, decode list,
// viewers), generates and derives keys, and makes key sets. It has no state;
// every method works on its arguments only.
#pragma once

#include "Common/matrix/matrix.h"
#include "codec/dimensions.h"
#include "engine/job_options.h"

namespace vekdc {

class CMatrixCipher {
public:
    // Runs the whole job synchronously. Reports through message boxes; fatal
    // conditions end the program. The observer, when given, follows each file.
    void run_job(job_options options, job_observer* observer = nullptr);

    // ---- keys
    // kind 0: random elements in (0, 1]; kind 1: regular 2i|i-j| + i + 2j + 3.
    static Matrix make_key_matrix(int rows, int cols, int kind, int reseed, int seed);
    // B (n x m) with B*A = J; its first column is random. Null unless m - n = 1.
    static Matrix opposite_B_of_A(Matrix A, Matrix J, int m, int n, int reseed, int seed);
    // A (m x n) with B*A = J. Ends the program unless m - n = 1.
    static Matrix opposite_A_of_B(Matrix B, Matrix J, int n, int m, int reseed, int seed);
    // Three-level variants; they end the program unless m = 2n + 1.
    static Matrix opposite_B_of_A_3(Matrix A, Matrix X, Matrix J, int m, int n, int reseed,
                                    int seed);
    static Matrix opposite_A_of_B_3(Matrix B, Matrix Y, Matrix J, int n, int m, int reseed,
                                    int seed);
    // One unit random value rand() / 32767 in [0, 1].
    static double unit_random();
};

}  // namespace vekdc
