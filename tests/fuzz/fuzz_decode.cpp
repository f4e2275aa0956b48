// Bytes as an encrypted file, decoded with the bundled example's key. Beyond
// not crashing, the decoder must keep the format's promises: a written file
// is 118 bytes shorter than the input and holds the input's clear prefix and
// rest unchanged, around the ten bytes the key opens; a refused file leaves
// nothing; a file that already has the first-choice name is never touched.
#include <cstdint>
#include <cstring>
#include <string>

#include "codec/codec.h"
#include "platform/file.h"
#include "tests/fuzz/fuzz_support.h"

namespace vekdc::fuzz {
namespace {

constexpr std::size_t kGrowth = kHeaderBytes + kBlockBytes - kPlainSpan;  // 118
const std::string kOlder = "an older file that must stay as it is";

struct Fixture {
    FuzzServices& services = install_fuzz_services();
    ScratchFolder scratch{"fuzz-decode"};
    std::string in_dir = scratch.make_folder("in");
    std::string out_dir = scratch.make_folder("out");
    MatrixPtr B{alloc_matrix(kPlainLength, kBlockLength)};
    MatrixPtr J_inv{alloc_matrix(kPlainLength, kPlainLength)};

    Fixture() {
        const std::string key = example_file("example.key");
        check(key.size() == sizeof(double) * kPlainLength * kBlockLength, "example key size");
        for (int i = 0; i < kPlainLength; ++i) {
            for (int j = 0; j < kBlockLength; ++j) {
                std::memcpy(&B.get()[i][j], key.data() + 8 * (i * kBlockLength + j), 8);
            }
            for (int j = 0; j < kPlainLength; ++j) {
                J_inv.get()[i][j] = i == j ? 1.0 : 0.0;
            }
        }
    }
};

std::int32_t i32_at(std::string_view bytes, std::size_t offset) {
    std::uint32_t u = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + k])) << (8 * k);
    }
    return static_cast<std::int32_t>(u);
}

// The ten bytes the key opens in the input's cipher block, or nothing.
std::optional<plain_block> opened_block(std::string_view input, std::size_t prefix,
                                        const Fixture& fx) {
    cipher_block block{};
    std::memcpy(block.data(), input.data() + kHeaderBytes + prefix, kBlockBytes);
    return open_block(block, i32_at(input, 8), fx.B.get(), fx.J_inv.get());
}

void check_written(std::string_view input, const std::string& written, const Fixture& fx) {
    const std::string output = read_bytes(written);
    check(input.size() >= kGrowth && output.size() == input.size() - kGrowth,
          "a written file is 118 bytes shorter than its input");
    const auto prefix = static_cast<std::size_t>(i32_at(input, 4));
    check(output.compare(0, prefix, input.substr(kHeaderBytes, prefix)) == 0,
          "the clear prefix is copied unchanged");
    check(output.compare(prefix + kPlainSpan, std::string::npos,
                         input.substr(kHeaderBytes + prefix + kBlockBytes)) == 0,
          "the rest is copied unchanged");
    const auto plain = opened_block(input, prefix, fx);
    check(plain.has_value(), "a written file has a block the key opens");
    check(std::memcmp(output.data() + prefix, plain->data() + 1, kPlainSpan) == 0,
          "the opened bytes stand between the prefix and the rest");
}

}  // namespace
}  // namespace vekdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vekdc;
    using namespace vekdc::fuzz;
    static Fixture fx;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    write_bytes(fx.in_dir + "f.vek", input);

    // Half the inputs find their first-choice name taken; half are written
    // through a hidden temporary instead of an unnamed file.
    std::string taken;
    if (size % 2 == 1 && size >= 12) {
        if (const auto extension = extension_of_type(i32_at(input, 8))) {
            taken = fx.out_dir + "f." + std::string(*extension);
            write_bytes(taken, kOlder);
        }
    }
    platform::OutputFile::allow_unnamed_files(size / 2 % 2 == 0);

    std::string path = fx.in_dir + "f.vek";
    std::string out_dir = fx.out_dir;
    std::string stem;
    std::string extension;
    std::string written;
    int result = 0;
    try {
        result =
            static_cast<int>(decode_file(path, out_dir, fx.B.get(), fx.J_inv.get(), stem, extension,
                                         coding_mode::batch, {.written_path = &written}));
    } catch (const ProgramExit& exit) {
        check(exit.status == 1, "a refused input ends with status 1: " + fx.services.last_message);
        result = -1;
    }

    std::vector<std::string> expected;
    if (!taken.empty()) {
        check(read_bytes(taken) == kOlder, "an existing first-choice file is untouched");
        expected.push_back(taken.substr(fx.out_dir.size()));
    }
    if (result == 1) {
        check(written.starts_with(fx.out_dir) && written != taken, "written beside, not over");
        check_written(input, written, fx);
        expected.push_back(written.substr(fx.out_dir.size()));
        std::sort(expected.begin(), expected.end());
    }
    check(entries(fx.out_dir) == expected, "the output folder holds only what was written");
    check(entries(fx.in_dir) == std::vector<std::string>{"f.vek"}, "nothing beside the input");
    empty_folder(fx.out_dir);
    return 0;
}
