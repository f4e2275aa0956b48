// Bytes as a key file: read as an 11 x 12 decoding key and as a 12 x 11
// encoding key, then used the way a read_once job uses a key (the encoding
// key derived from it) to decode one of the bundled examples. Whatever the
// bytes, nothing crashes or hangs, a key read back holds exactly the file's
// leading bytes, and a key that does not open the file leaves no output.
#include <cstdint>
#include <cstring>
#include <string>

#include "codec/codec.h"
#include "engine/matrix_cipher.h"
#include "tests/fuzz/fuzz_support.h"

namespace vekdc::fuzz {
namespace {

constexpr std::size_t kGrowth = kHeaderBytes + kBlockBytes - kPlainSpan;  // 118
constexpr std::size_t kKeyBytes = sizeof(double) * kPlainLength * kBlockLength;

struct Fixture {
    FuzzServices& services = install_fuzz_services();
    ScratchFolder scratch{"fuzz-key"};
    std::string key_dir = scratch.make_folder("key");
    std::string in_dir = scratch.make_folder("in");
    std::string out_dir = scratch.make_folder("out");
    std::string encrypted = example_file("notes.vek");

    Fixture() { write_bytes(in_dir + "notes.vek", encrypted); }
};

// The key read from `path` as rows x cols, or null when the read ended the program.
MatrixPtr read_key(const std::string& path, int rows, int cols, std::string_view bytes) {
    try {
        MatrixPtr key(read_matrix_from_binary_file(rows, cols, path));
        check(key != nullptr, "a key read without a dialog is never null");
        check(bytes.size() >= kKeyBytes, "a short key file is refused");
        for (int i = 0; i < rows; ++i) {
            check(std::memcmp(key.get()[i], bytes.data() + sizeof(double) * i * cols,
                              sizeof(double) * cols) == 0,
                  "a key holds the file's bytes row by row");
        }
        return key;
    } catch (const ProgramExit& exit) {
        check(exit.status == 1 && bytes.size() < kKeyBytes, "only a short key file is refused");
        return nullptr;
    }
}

class Outcome : public job_observer {
public:
    void file_written(job_step, std::size_t, const std::string&,
                      const std::string& written_path) override {
        written.push_back(written_path);
    }
    void file_refused(job_step, std::size_t, const std::string&) override { ++refused; }

    std::vector<std::string> written;
    int refused = 0;
};

}  // namespace
}  // namespace vekdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vekdc;
    using namespace vekdc::fuzz;
    static Fixture fx;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string key_path = fx.key_dir + "k.key";
    write_bytes(key_path, bytes);

    MatrixPtr A = read_key(key_path, kBlockLength, kPlainLength, bytes);
    MatrixPtr B = read_key(key_path, kPlainLength, kBlockLength, bytes);
    if (!B) {
        return 0;
    }
    Outcome outcome;
    bool ended = false;
    try {
        CMatrixCipher().run_job(decode_job(B.get(), {fx.in_dir + "notes.vek"}, fx.out_dir),
                                &outcome);
    } catch (const ProgramExit&) {
        ended = true;
    }
    const auto names = entries(fx.out_dir);
    if (outcome.written.empty()) {
        check(names.empty(), "a refused key leaves no output");
    } else {
        check(!ended && outcome.written.size() == 1 && names.size() == 1,
              "one input gives at most one output");
        const std::string output = read_bytes(outcome.written.front());
        check(output.size() == fx.encrypted.size() - kGrowth,
              "a written file is 118 bytes shorter than its input");
        // notes.vek keeps no clear prefix: its rest follows the ten opened bytes.
        check(output.compare(kPlainSpan, std::string::npos,
                             fx.encrypted.substr(kHeaderBytes + kBlockBytes)) == 0,
              "the rest is copied unchanged");
    }
    check(entries(fx.in_dir).size() == 1 && entries(fx.key_dir).size() == 1,
          "nothing is written beside the input or the key");
    empty_folder(fx.out_dir);
    return 0;
}
