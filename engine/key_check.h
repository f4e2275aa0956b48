// What the engine asks of keys before it encodes with them, and whether a
// decoding key opens a file, for callers that look before they run a job.
#pragma once

#include <optional>
#include <string>

#include "Common/matrix/matrix.h"
#include "codec/codec.h"

namespace vekdc {

// The mixing matrix J (the identity) and its inverse, built as every job
// builds them.
struct mixing_matrices {
    MatrixPtr J;
    MatrixPtr J_inv;
};
mixing_matrices make_mixing_matrices();

// Why an encoding key A (12 x 11) cannot start an encoding, or nothing: a
// value that is not a finite number, columns that are not independent, or a
// lower 11 x 11 block from which no decoding key can be derived.
std::optional<std::string> encoding_key_problem(Matrix A);
// Why a decoding key B (11 x 12) cannot start an encoding, or nothing: a
// value that is not a finite number, rows that are not independent, or a
// right 11 x 11 block from which no encoding key can be derived.
std::optional<std::string> decoding_key_problem(Matrix B);
// How far a pair may move a deciphered value: 255 times the largest row sum
// of |B * A - J| (every value of a plain vector lies in 0..255); infinity
// when not finite. A pair encodes files that B opens only when this stays
// within the key check's tolerance.
double key_pair_deviation(Matrix A, Matrix B, Matrix J);

// Tries decoding keys on the cipher blocks of inspected files, with the
// mixing matrices made once (and J_inv's product saved where it is exactly
// the identity, as every job's is).
class key_tester {
public:
    key_tester();
    // Whether the decoding key B opens the cipher block of an inspected file.
    bool opens(const encrypted_facts& facts, Matrix B) const;

private:
    mixing_matrices mixing_;
    Matrix J_inv_;  // null when it is the identity
};

}  // namespace vekdc
