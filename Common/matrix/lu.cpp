#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "Common/matrix/matrix.h"
#include "platform/paths.h"
#include "platform/services.h"

namespace vekdc {

namespace {

thread_local const matrix_subject* g_subject = nullptr;

}  // namespace

matrix_subject::matrix_subject(std::string name) : name_(std::move(name)), outer_(g_subject) {
    g_subject = this;
}

matrix_subject::~matrix_subject() {
    g_subject = outer_;
}

const std::string& matrix_subject::current() {
    static const std::string kNone;
    return g_subject != nullptr ? g_subject->name_ : kNone;
}

void lu_decomposition1(Matrix a, int n, std::int32_t* index, double* sign) {
    *sign = 1.0;
    const DvectorPtr vv(dvector(n));
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j) {
            const double value = std::fabs(a[i][j]);
            if (value > big) {
                big = value;
            }
        }
        if (big == 0.0) {
            const std::string& subject = matrix_subject::current();
            const std::string text =
                "singular matrix in routine \"lu_decomposition1\"" +
                (subject.empty() ? std::string() : ": " + platform::shown_path(subject)) + "\n";
            std::fputs(text.c_str(), stderr);
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
    const DvectorPtr col(dvector(n));
    MatrixPtr Y(alloc_matrix(n, n));
    const IvectorPtr index(ivector(n));
    double sign = 0.0;
    lu_decomposition1(a, n, index.get(), &sign);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            col[i] = 0.0;
        }
        col[j] = 1.0;
        lu_back_substitution(a, n, index.get(), col.get());
        for (int i = 0; i < n; ++i) {
            Y.get()[i][j] = col[i];
        }
    }
    return Y.release();
}

}  // namespace vekdc
