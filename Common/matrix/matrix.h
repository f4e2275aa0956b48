// Dense matrices of doubles as the cipher uses them: an array of rows + 1 row
// pointers whose last entry is null, each row allocated on its own. A matrix
// does not know its size; every operation takes the counts from its caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vekdc {

using Matrix = double**;

// ------------------------------------------------------------ storage
Matrix alloc_matrix_or_null(int rows, int cols);
// Does not return when memory runs out ("insufficient memory", status 1).
Matrix alloc_matrix(int rows, int cols);
void free_matrix(Matrix m);
// Does not return when memory runs out (diagnostic on standard error, status 1).
double* dvector(int count);
void free_dvector(double* v);
// Zeroed; does not return when memory runs out (diagnostic on standard output, status 0).
std::int32_t* ivector(int count);
void free_ivector(std::int32_t* v);

// ------------------------------------------------------------ ownership helpers
// Owners for code that may return early, or leave by an exception where the
// installed services end the program by throwing.
struct MatrixDeleter {
    void operator()(double** m) const { free_matrix(m); }
};
using MatrixPtr = std::unique_ptr<double*, MatrixDeleter>;
struct DvectorDeleter {
    void operator()(double* v) const { free_dvector(v); }
};
using DvectorPtr = std::unique_ptr<double[], DvectorDeleter>;
struct IvectorDeleter {
    void operator()(std::int32_t* v) const { free_ivector(v); }
};
using IvectorPtr = std::unique_ptr<std::int32_t[], IvectorDeleter>;

// ------------------------------------------------------------ arithmetic
void copy_matrix(Matrix source, Matrix destination, int rows, int cols);
// New rows x cols matrix P*Q; each sum runs from k = 0 upward as sum = P(i,k)*Q(k,j) + sum.
Matrix multiply_matrix(Matrix P, Matrix Q, int rows, int inner, int cols);
// The product of P with the column vector x into y (rows values), summed as
// multiply_matrix sums: the same bits, without a matrix to allocate.
void multiply_vector(Matrix P, const double* x, int rows, int inner, double* y);

// ------------------------------------------------------------ LU decomposition and inversion
inline constexpr double kTinyPivot = 1.0e-20;
// Crout's method with scaled partial pivoting; overwrites a. A row of zeros
// (or of values that are not numbers) ends the program (status 1) with a
// diagnostic on standard error that names the matrix's subject.

void lu_decomposition1(Matrix a, int n, std::int32_t* index, double* sign);
void lu_back_substitution(Matrix a, int n, const std::int32_t* index, double* b);
// New inverse of a; a is left holding its LU decomposition.
Matrix inverse_matrix(Matrix a, int n);

// Names, for as long as the object lives, what the matrices the toolkit works
// on come from (the key file a key is derived from, say), for its diagnostics.
class matrix_subject {
public:
    explicit matrix_subject(std::string name);
    ~matrix_subject();
    matrix_subject(const matrix_subject&) = delete;
    matrix_subject& operator=(const matrix_subject&) = delete;
    // The innermost subject of this thread, or "".
    static const std::string& current();

private:
    std::string name_;
    const matrix_subject* outer_;
};

// ------------------------------------------------------------ matrix files
// A matrix file holds the elements row by row as little-endian doubles, no
// header. It is written with mode 0600 and never replaces a file: a name that
// holds other bytes makes it go under the name with "_TICK" added before its
// extension, and a name that already holds exactly these bytes is left as it
// is. A write that fails ends the program (status 1) and leaves no file.
//
// The bytes of a matrix file; with header set, the low bytes of rows and cols first.
std::vector<unsigned char> matrix_file_bytes(bool header, Matrix M, int rows, int cols);
// Writes M to folder + name (no separator is inserted) and returns the path written.
std::string write_matrix_into_binary_file(bool header, Matrix M, int rows, int cols,
                                          const std::string& name, const std::string& folder);
// Ends the program (status 1) for a matrix file that could not be written:
// `path` names it, `error` is the system's reason.
[[noreturn]] void matrix_file_not_written(const std::string& path, int error);

// Reads a rows x cols matrix from `path`. The file may be a pipe, read to its
// end; bytes beyond the matrix are ignored. A file that holds no such matrix
// ends the program (status 1) after naming it, as does one that cannot be opened.
Matrix read_matrix_from_binary_file(int rows, int cols, const std::string& path);
// The same, except that a file that cannot be opened gives null after the message.
Matrix read_matrix_file_if_openable(int rows, int cols, const std::string& path);

// ------------------------------------------------------------ allocation hook
// The allocator behind every matrix and vector, replaceable so that tests can
// make allocations fail and watch the order of releases.
struct MatrixAllocator {
    void* (*allocate)(std::size_t bytes);
    void (*release)(void* block);
};
MatrixAllocator set_matrix_allocator(MatrixAllocator allocator);

}  // namespace vekdc
