// The two dimensions of the cipher, the same for every key and every file.
#pragma once

namespace vekdc {

// m: the doubles of one cipher block; rows of an encoding key A, columns of a
// decoding key B.
inline constexpr int kBlockLength = 12;
// n: the values one block carries, the type code and ten plain bytes; columns
// of A, rows of B, and the size of the mixing matrix J.
inline constexpr int kPlainLength = 11;

static_assert(kBlockLength > kPlainLength, "a block must hold more values than it carries");

}  // namespace vekdc
