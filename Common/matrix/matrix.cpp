#include "Common/matrix/matrix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/services.h"

namespace vekdc {

namespace {

MatrixAllocator g_allocator{&std::malloc, &std::free};

void* allocate(std::size_t bytes) {
    return g_allocator.allocate(bytes == 0 ? 1 : bytes);
}
void release(void* block) {
    if (block != nullptr) {
        g_allocator.release(block);
    }
}

// Source module quoted by the toolkit's diagnostics.
constexpr const char* kModulePath = "Common\\matrix\\matrix";

}  // namespace

MatrixAllocator set_matrix_allocator(MatrixAllocator allocator) {
    const MatrixAllocator previous = g_allocator;
    g_allocator = allocator;
    return previous;
}

Matrix alloc_matrix_or_null(int rows, int cols) {
    if (rows < 0 || cols < 0) {
        return nullptr;
    }
    const std::size_t row_count = static_cast<std::size_t>(rows);
    auto pointers = static_cast<Matrix>(allocate((row_count + 1) * sizeof(double*)));
    if (pointers == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < row_count; ++i) {
        pointers[i] =
            static_cast<double*>(allocate(static_cast<std::size_t>(cols) * sizeof(double)));
        if (pointers[i] == nullptr) {
            for (std::size_t k = i; k-- > 0;) {
                release(pointers[k]);
            }
            release(pointers);
            return nullptr;
        }
    }
    pointers[row_count] = nullptr;
    return pointers;
}

Matrix alloc_matrix(int rows, int cols) {
    Matrix m = alloc_matrix_or_null(rows, cols);
    if (m == nullptr) {
        platform::encoder_message("insufficient memory");
        platform::exit_program(1);
    }
    return m;
}

void free_matrix(Matrix m) {
    if (m == nullptr) {
        return;
    }
    for (Matrix row = m; *row != nullptr; ++row) {
        release(*row);
    }
    release(m);
}

double* dvector(int count) {
    auto* v =
        count < 0
            ? nullptr
            : static_cast<double*>(allocate(static_cast<std::size_t>(count) * sizeof(double)));
    if (v == nullptr) {
        const std::string detail = "dvector(" + std::to_string(count) + ")";
        std::fprintf(stderr, "insufficient memory (line %d in \"%s\"\n%s)\n", 99, kModulePath,
                     detail.c_str());
        platform::exit_program(1);
    }
    return v;
}

void free_dvector(double* v) {
    release(v);
}

std::int32_t* ivector(int count) {
    auto* v = count < 0 ? nullptr
                        : static_cast<std::int32_t*>(
                              allocate(static_cast<std::size_t>(count) * sizeof(std::int32_t)));
    if (v == nullptr) {
        std::fprintf(stdout, "out of memory in ivector(%d)\n", count);
        platform::exit_program(0);
    }
    std::memset(v, 0, static_cast<std::size_t>(count) * sizeof(std::int32_t));
    return v;
}

void free_ivector(std::int32_t* v) {
    release(v);
}

void copy_matrix(Matrix source, Matrix destination, int rows, int cols) {
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            destination[i][j] = source[i][j];
        }
    }
}

namespace {

// One element of a product: row i of P times a column, summed from k = 0
// upward as sum = P(i,k) * column(k) + sum.
template <typename Column>
double row_times(const double* row, int inner, Column column) {
    double sum = 0.0;
    for (int k = 0; k < inner; ++k) {
        sum = row[k] * column(k) + sum;
    }
    return sum;
}

}  // namespace

Matrix multiply_matrix(Matrix P, Matrix Q, int rows, int inner, int cols) {
    Matrix R = alloc_matrix(rows, cols);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            R[i][j] = row_times(P[i], inner, [&](int k) { return Q[k][j]; });
        }
    }
    return R;
}

void multiply_vector(Matrix P, const double* x, int rows, int inner, double* y) {
    for (int i = 0; i < rows; ++i) {
        y[i] = row_times(P[i], inner, [x](int k) { return x[k]; });
    }
}

}  // namespace vekdc
