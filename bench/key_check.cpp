// How well the key check tells a right key from a wrong one, measured on
// cipher blocks made as the encoder makes them.
//
//   vekdc-key-check [--families N] [--blocks N]
//
// Right-key trials: master and daughter keys of key sets, created pairs
// (random and regular, A or B first) and the read_once
// derivation (an encoding key derived from a loaded decoding key). Wrong-key
// trials: each daughter key on its siblings' blocks, and the master and
// daughter keys of an unrelated key set. Types and payloads are random.
//
// Prints the trial counts, the right keys refused, the wrong keys accepted,
// the largest right-key deviation from an integer and the smallest wrong-key
// deviation. The exit status is 0 when no right key was refused and no wrong
// key accepted.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "engine/key_check.h"
#include "engine/matrix_cipher.h"
#include "platform/runtime.h"

namespace {

using vekdc::CMatrixCipher;
using vekdc::kBlockLength;
using vekdc::kPlainLength;
using vekdc::Matrix;
using vekdc::MatrixPtr;

constexpr std::array<std::int32_t, 13> kTypeCodes{1,  11, 21, 31,  41,  51, 61,
                                                  71, 81, 91, 101, 111, 121};

struct Tally {
    std::uint64_t trials = 0;
    std::uint64_t opened = 0;
    double smallest = std::numeric_limits<double>::infinity();
    double largest = 0.0;
};

struct Measurement {
    Tally right;
    Tally wrong;
    std::map<std::string, Tally> by_kind;
    Matrix J_inv = nullptr;
    std::mt19937_64 random{20261207};

    // A block of a random type and payload, enciphered with A.
    std::pair<vekdc::cipher_block, std::int32_t> random_block(Matrix A) {
        vekdc::plain_vector x{};
        const std::int32_t type = kTypeCodes[random() % kTypeCodes.size()];
        x[0] = type;
        for (std::size_t i = 1; i < x.size(); ++i) {
            x[i] = static_cast<double>(random() % 256);
        }
        return {vekdc::encipher(x, A), type};
    }

    // One key on one block, counted in the total and under `what`.
    void trial(Tally& tally, const vekdc::cipher_block& block, std::int32_t type, Matrix B,
               const std::string& what) {
        const double deviation = vekdc::integer_deviation(vekdc::decipher_values(block, B, J_inv));
        const bool opened = vekdc::open_block(block, type, B, J_inv).has_value();
        for (Tally* t : {&tally, &by_kind[what]}) {
            ++t->trials;
            t->smallest = std::min(t->smallest, deviation);
            t->largest = std::max(t->largest, deviation);
            t->opened += opened ? 1 : 0;
        }
    }
};

// A master key, three encoding keys derived from it and their daughters, as
// the key-set road makes them (from a seed of its own).
struct KeySet {
    MatrixPtr master;
    std::array<MatrixPtr, 3> encoding;
    std::array<MatrixPtr, 3> daughter;
};

KeySet make_key_set(std::uint32_t seed, Matrix J) {
    KeySet set;
    vekdc::platform::crt_srand(seed);
    set.master.reset(CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, 0, 0, 1));
    for (std::size_t k = 0; k < set.encoding.size(); ++k) {
        set.encoding[k].reset(
            CMatrixCipher::opposite_A_of_B(set.master.get(), J, kPlainLength, kBlockLength, 0, 1));
    }
    for (std::size_t k = 0; k < set.daughter.size(); ++k) {
        set.daughter[k].reset(CMatrixCipher::opposite_B_of_A(set.encoding[k].get(), J, kBlockLength,
                                                             kPlainLength, 0, 1));
    }
    return set;
}

void measure_key_sets(Measurement& run, Matrix J, int families, int blocks) {
    KeySet previous = make_key_set(1, J);
    for (int f = 0; f < families; ++f) {
        KeySet set = make_key_set(static_cast<std::uint32_t>(1000 + f), J);
        for (std::size_t k = 0; k < set.encoding.size(); ++k) {
            // The read_once road: an encoding key derived from the loaded daughter.
            MatrixPtr derived(CMatrixCipher::opposite_A_of_B(set.daughter[k].get(), J, kPlainLength,
                                                             kBlockLength, 0, 1));
            for (int b = 0; b < blocks; ++b) {
                const auto [block, type] = run.random_block(set.encoding[k].get());
                run.trial(run.right, block, type, set.master.get(), "right: master key");
                run.trial(run.right, block, type, set.daughter[k].get(), "right: daughter key");
                for (std::size_t j = 0; j < set.daughter.size(); ++j) {
                    if (j != k) {
                        run.trial(run.wrong, block, type, set.daughter[j].get(),
                                  "wrong: sibling daughter key");
                    }
                }
                run.trial(run.wrong, block, type, previous.master.get(),
                          "wrong: unrelated master key");
                run.trial(run.wrong, block, type, previous.daughter[k].get(),
                          "wrong: unrelated daughter key");

                const auto [own, own_type] = run.random_block(derived.get());
                run.trial(run.right, own, own_type, set.daughter[k].get(),
                          "right: read_once derivation");
                run.trial(run.wrong, own, own_type, set.daughter[(k + 1) % 3].get(),
                          "wrong: sibling on read_once block");
            }
        }
        previous = std::move(set);
    }
}

// A created pair: A or B first, random or regular, derived as a two-level
// create job derives it (three-level jobs end before they make a key).
struct Pair {
    MatrixPtr A;
    MatrixPtr B;
};

Pair make_pair(bool A_first, bool random, Matrix J) {
    Pair pair;
    const int kind = random ? 0 : 1;
    if (A_first) {
        pair.A.reset(CMatrixCipher::make_key_matrix(kBlockLength, kPlainLength, kind, 0, 1));
        pair.B.reset(
            CMatrixCipher::opposite_B_of_A(pair.A.get(), J, kBlockLength, kPlainLength, 0, 1));
    } else {
        pair.B.reset(CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, kind, 0, 1));
        pair.A.reset(
            CMatrixCipher::opposite_A_of_B(pair.B.get(), J, kPlainLength, kBlockLength, 0, 1));
    }
    return pair;
}

void measure_created_pairs(Measurement& run, Matrix J, int families, int blocks) {
    std::vector<Pair> pairs;
    for (int f = 0; f < families; ++f) {
        vekdc::platform::crt_srand(static_cast<std::uint32_t>(5000 + f));
        const bool A_first = f % 2 == 0;
        const bool random = f >= 4 || f < 2;  // pairs 2 and 3 are the regular ones
        pairs.push_back(make_pair(A_first, random, J));
    }
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        // Two regular keys have whole-number elements, so one deciphers the
        // other's blocks into whole numbers; the type and range checks alone
        // refuse those. The unrelated key is taken two pairs on, which never
        // pairs the two regular ones.
        const Pair& other = pairs[(p + 2) % pairs.size()];
        for (int b = 0; b < blocks; ++b) {
            const auto [block, type] = run.random_block(pairs[p].A.get());
            run.trial(run.right, block, type, pairs[p].B.get(), "right: created pair");
            run.trial(run.wrong, block, type, other.B.get(), "wrong: created pair");
        }
    }
}

int number_after(int& i, int argc, char** argv) {
    if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a number\n", argv[i]);
        std::exit(2);
    }
    return std::max(1, std::atoi(argv[++i]));
}

}  // namespace

int main(int argc, char** argv) {
    int families = 200;  // key sets, and as many created pairs
    int blocks = 500;    // blocks per encoding key
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--families") == 0) {
            families = number_after(i, argc, argv);
        } else if (std::strcmp(argv[i], "--blocks") == 0) {
            blocks = number_after(i, argc, argv);
        } else {
            std::fprintf(stderr, "usage: vekdc-key-check [--families N] [--blocks N]\n");
            return 2;
        }
    }
    const vekdc::mixing_matrices mixing = vekdc::make_mixing_matrices();
    Measurement run;
    run.J_inv = mixing.J_inv.get();
    measure_key_sets(run, mixing.J.get(), families, blocks);
    measure_created_pairs(run, mixing.J.get(), families, blocks * 3);

    for (const auto& [kind, t] : run.by_kind) {
        std::printf("  %-36s %9llu trials, %9llu opened, deviation %.3e .. %.3e\n", kind.c_str(),
                    static_cast<unsigned long long>(t.trials),
                    static_cast<unsigned long long>(t.opened), t.smallest, t.largest);
    }
    const std::uint64_t refused = run.right.trials - run.right.opened;
    std::printf("tolerance                   %.1e\n", vekdc::kKeyCheckTolerance);
    std::printf("right-key trials            %llu, refused %llu\n",
                static_cast<unsigned long long>(run.right.trials),
                static_cast<unsigned long long>(refused));
    std::printf("wrong-key trials            %llu, accepted %llu\n",
                static_cast<unsigned long long>(run.wrong.trials),
                static_cast<unsigned long long>(run.wrong.opened));
    std::printf("largest right-key deviation %.3e\n", run.right.largest);
    std::printf("smallest wrong-key deviation %.3e\n", run.wrong.smallest);
    std::printf("margin (smallest wrong / largest right) %.3g\n",
                run.wrong.smallest / std::max(run.right.largest, 1e-300));
    return refused == 0 && run.wrong.opened == 0 ? 0 : 1;
}
