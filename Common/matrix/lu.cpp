#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Common/matrix/matrix.h"
#include "platform/services.h"

namespace vekdc {

void lu_decomposition1(Matrix a, int n, std::int32_t* index, double* sign) {
    *sign = 1.0;
    double* vv = dvector(n);
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j) {
            const double value = std::fabs(a[i][j]);
            if (value > big) {
                big = value;
            }
        }
        if (big == 0.0) {
            std::fputs("singular matrix in routine \"lu_decomposition1\"", stdout);
            free_dvector(vv);
            platform::exit_program(1);
        }
        vv[i] = 1.0 / big;
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < i; ++k) {
                sum = sum - a[i][k] * a[k][j];
            }
            a[i][j] = sum;
        }
        double big = 0.0;
        int imax = j;
        for (int i = j; i < n; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < j; ++k) {
                sum = sum - a[i][k] * a[k][j];
            }
            a[i][j] = sum;
            const double dum = std::fabs(sum) * vv[i];
            if (dum >= big) {
                big = dum;
                imax = i;
            }
        }
        if (imax != j) {
            for (int k = 0; k < n; ++k) {
                const double dum = a[imax][k];
                a[imax][k] = a[j][k];
                a[j][k] = dum;
            }
            *sign = -*sign;
            vv[imax] = vv[j];
        }
        index[j] = imax;
        if (a[j][j] == 0.0) {
            a[j][j] = kTinyPivot;
        }
        if (j != n - 1) {
            const double dum = 1.0 / a[j][j];
            for (int i = j + 1; i < n; ++i) {
                a[i][j] = a[i][j] * dum;
            }
        }
    }
    free_dvector(vv);
}

void lu_back_substitution(Matrix a, int n, const std::int32_t* index, double* b) {
    int first = -1;
    for (int i = 0; i < n; ++i) {
        const int p = index[i];
        double sum = b[p];
        b[p] = b[i];
        if (first >= 0) {
            for (int k = first; k <= i - 1; ++k) {
                sum = sum - a[i][k] * b[k];
            }
        } else if (sum != 0.0) {
            first = i;
        }
        b[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = b[i];
        for (int k = i + 1; k < n; ++k) {
            sum = sum - a[i][k] * b[k];
        }
        b[i] = sum / a[i][i];
    }
}

Matrix inverse_matrix(Matrix a, int n) {
    // Owned until the end, so that a singular matrix ending the program
    // releases them on the way out.
    std::vector<double> col(static_cast<std::size_t>(n < 0 ? 0 : n));
    MatrixPtr Y(alloc_matrix(n, n));
    std::vector<std::int32_t> index(col.size());
    double sign = 0.0;
    lu_decomposition1(a, n, index.data(), &sign);
    for (int j = 0; j < n; ++j) {
        std::fill(col.begin(), col.end(), 0.0);
        col[static_cast<std::size_t>(j)] = 1.0;
        lu_back_substitution(a, n, index.data(), col.data());
        for (int i = 0; i < n; ++i) {
            Y.get()[i][j] = col[static_cast<std::size_t>(i)];
        }
    }
    return Y.release();
}

}  // namespace vekdc
