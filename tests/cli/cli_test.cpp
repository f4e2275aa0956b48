#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "vekdc/version.h"

namespace vekdc {
namespace {

using test::ProcessResult;
using test::TempDir;

ProcessResult cli(std::vector<std::string> args, const std::string& workdir = "",
                  const std::vector<std::string>& environment = {}) {
    args.insert(args.begin(), test::build_path(VEKDC_CLI));
    return test::run_process(args, workdir, environment);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        test::make_folder(dir / "keys");
        const ProcessResult made = cli({"keygen", "--create-b", "--random", "-d", dir / "keys"});
        ASSERT_EQ(made.status, 0) << made.err;
        const auto written = lines(made.out);
        ASSERT_EQ(written.size(), 2u);
        key_B = written[0];
        key_A = written[1];
    }

    std::string folder(const std::string& name) {
        test::make_folder(dir / name);
        return dir / name;
    }

    TempDir dir;
    std::string key_B;
    std::string key_A;
};

TEST_F(CliTest, KeygenWritesAPairOfKeyFiles) {
    const std::string keys = ".*" + test::kSepPattern + "keys" + test::kSepPattern;
    EXPECT_TRUE(std::regex_match(key_B, std::regex(keys + "B_11_12_matrix_[0-9]+")));
    EXPECT_TRUE(std::regex_match(key_A, std::regex(keys + "A_12_11_matrix_[0-9]+")));
    EXPECT_EQ(std::filesystem::file_size(key_B), 1056u);
    EXPECT_EQ(std::filesystem::file_size(key_A), 1056u);
    const ProcessResult regular = cli({"keygen", "--create-a", "--regular", "-d", folder("k2")});
    EXPECT_EQ(regular.status, 0);
    EXPECT_EQ(regular.err, "VekDC: I will create regular A and the oppsite B and save them.\n");
}

TEST_F(CliTest, EveryTypePrefixAndSizeRoundTrips) {
    const char* types[] = {"txt", "avi", "doc", "htm", "jpg", "mp3", "lzh",
                           "gif", "wmf", "bmp", "ttf", "wav", "mpg"};
    const std::size_t sizes[] = {10, 11, 1000, 1 << 20};
    for (int prefix : {0, 4, 100}) {
        const std::string p = std::to_string(prefix);
        const std::string plain = folder("plain" + p);
        std::vector<std::string> files;
        for (const char* type : types) {
            for (std::size_t size : sizes) {
                if (size < static_cast<std::size_t>(prefix) + 10) {
                    continue;
                }
                const std::string path =
                    plain + "/f" + std::to_string(size) + "_" + type + "." + type;
                test::write_file(path,
                                 test::pattern_bytes(size, static_cast<unsigned>(size) + prefix));
                files.push_back(path);
            }
        }
        std::vector<std::string> encode{"encode", "-k", key_B, "-o", folder("enc" + p), "-p", p};
        encode.insert(encode.end(), files.begin(), files.end());
        const ProcessResult encoded = cli(encode);
        ASSERT_EQ(encoded.status, 0) << encoded.err;
        ASSERT_EQ(lines(encoded.out).size(), files.size());

        std::vector<std::string> decode{"decode", "-k", key_B, "-o", folder("dec" + p)};
        for (const auto& f : files) {
            std::string name;
            decode.push_back(dir /
                             ("enc" + p + "/" + std::filesystem::path(f).stem().string() + ".vek"));
        }
        const ProcessResult decoded = cli(decode);
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        EXPECT_EQ(decoded.err, "");
        const auto reported = lines(decoded.out);
        ASSERT_EQ(reported.size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string name = std::filesystem::path(files[i]).filename().string();
            EXPECT_EQ(reported[i],
                      decode[5 + i] + " -> " + (dir / ("dec" + p)) + test::kSep + name);
            ASSERT_EQ(test::read_file(dir / ("dec" + p + "/" + name)), test::read_file(files[i]))
                << name << " P=" << prefix;
        }
    }
}

TEST_F(CliTest, AWrongKeySkipsItsFileAndExitsTwo) {
    const std::string plain = folder("plain");
    const std::string enc = folder("enc");
    const std::string other_keys = folder("other");
    // Another pair, made in another second or not: its own random start.
    const ProcessResult made = cli({"keygen", "--create-a", "--regular", "-d", other_keys});
    ASSERT_EQ(made.status, 0);
    const std::string other_B = lines(made.out)[0];
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        test::write_file(plain + "/" + name, test::pattern_bytes(500, name[0]));
    }
    ASSERT_EQ(cli({"encode", "-k", key_B, "-o", enc, plain + "/a.txt", plain + "/c.txt"}).status,
              0);
    ASSERT_EQ(cli({"encode", "-k", other_B, "-o", enc, plain + "/b.txt"}).status, 0);
    const std::string out = folder("out");
    const ProcessResult r =
        cli({"decode", "-k", key_B, "-o", out, enc + "/a.vek", enc + "/b.vek", enc + "/c.vek"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "VekDC: 与えられた鍵ではファイル" + enc + "/b.vekの暗号を解除できません。\n");
    EXPECT_EQ(names_in(out), (std::vector<std::string>{"a.txt", "c.txt"}));
}

TEST_F(CliTest, EncodingKeyFilesOpenWithTheirDecodingKey) {
    const std::string plain = folder("plain");
    test::write_file(plain + "/song.mp3", test::pattern_bytes(4096, 8));
    const std::string enc = folder("enc");
    const ProcessResult encoded =
        cli({"encode", "--encoding-key", key_A, "-o", enc, plain + "/song.mp3"});
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    EXPECT_EQ(encoded.out, plain + "/song.mp3 -> " + enc + test::kSep + "song.vek\n");
    const std::string out = folder("out");
    const ProcessResult decoded = cli({"decode", "-k", key_B, "-o", out, enc + "/song.vek"});
    EXPECT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(test::read_file(out + "/song.mp3"), test::read_file(plain + "/song.mp3"));
}

TEST_F(CliTest, KeysetMakesAHierarchyTheMasterKeyOpens) {
    const std::string drive = folder("drive");
    const std::string plain = folder("plain");
    const std::string work = folder("work");
    std::vector<std::string> args{"keyset", "--drive-d", drive};
    for (const char* name : {"a.gif", "b.txt", "c.jpg", "d.doc", "e.ttf", "f.wav"}) {
        test::write_file(plain + "/" + name, test::pattern_bytes(128, name[0]));
        args.push_back(plain + "/" + name);
    }
    const ProcessResult r = cli(args, work);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out.front(), "a.gif -> a.vek");  // a dialog gives the file name only
    // The keys of the set are written together, once the files are encoded.
    EXPECT_EQ(out[6], drive + test::kSep + "master.key");
    EXPECT_EQ(out.back(), drive + test::kSep + "daughter3.key");
    const std::string dec = folder("dec");
    std::vector<std::string> decode{"decode", "-k", drive + "/master.key", "-o", dec};
    for (const char* stem : {"a", "b", "c", "d", "e", "f"}) {
        decode.push_back(work + "/" + stem + ".vek");
    }
    const ProcessResult decoded = cli(decode);
    EXPECT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(names_in(dec).size(), 6u);
    EXPECT_EQ(test::read_file(dec + "/e.ttf"), test::read_file(plain + "/e.ttf"));
}

// Arguments with "{d}" standing for the test's folder, "{B}" for its
// decoding key and "{A}" for the matching encoding key.
struct status_case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> messages;  // each found on standard error
    // What {d}/out holds afterwards, each a pattern for one name in sorted
    // order; an empty folder shows as "(empty folder)".
    std::vector<std::string> written;
    // Made before the run: {path, source}. A path ending in "/" is a folder,
    // a source "->target" makes a symbolic link, any other source is copied.
    std::vector<std::pair<std::string, std::string>> before = {};
    std::vector<std::string> printed = {};      // each found on standard output
    std::vector<std::string> environment = {};  // "NAME=value"
    const char* workdir = nullptr;              // where it runs ("" : the test's own)
    // Standard output sent to /dev/full ("full") or closed ("closed").
    const char* output = nullptr;
    bool nothing_else = false;  // standard error is the messages alone, nothing is printed
};

const std::string kLongStem(250, 'x');

const status_case kStatusCases[] = {
    // decode
    {"decode, all opened", {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/a.vek"}, 0, {}, {"a.txt"}},
    {"decode creates the output folder",
     {"decode", "-k", "{B}", "-o", "{d}/out/deeper", "{d}/a.vek"},
     0,
     {"vekdc-cli: created the output folder {d}{s}out{s}deeper\n"},
     {"deeper"}},
    {"decode, a missing file is named, the others decoded",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/missing.vek", "{d}/a.vek"},
     1,
     {"VekDC: file open error in batch mode (decoder): {d}/missing.vek: No such file or "
      "directory\n"},
     {"a.txt"}},
    {"decode, an empty name",
     {"decode", "-k", "{B}", "-o", "{d}/out", "", "{d}/a.vek"},
     1,
     {"VekDC: file open error in batch mode (decoder): '': No such file or directory\n"},
     {"a.txt"}},
    {"decode, a folder",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/folder.vek", "{d}/a.vek"},
     1,
     {"VekDC: file open error in batch mode (decoder): {d}/folder.vek: Is a directory\n"},
     {"a.txt"}},
    {"decode, not an encrypted file",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/junk.vek"},
     1,
     {"VekDC: This is not a pVEK file: {d}/junk.vek\n"},
     {}},
    {"decode, a wrong key",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/other.vek", "{d}/a.vek"},
     2,
     {"{d}/other.vek"},
     {"a.txt"}},
    {"decode, an unreadable file wins over a wrong key",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/other.vek", "{d}/junk.vek", "{d}/a.vek"},
     1,
     {"{d}/other.vek", "{d}/junk.vek"},
     {"a.txt"}},
    {"decode, the output folder is a file",
     {"decode", "-k", "{B}", "-o", "{d}/a.txt", "{d}/junk.vek", "{d}/a.vek"},
     255,
     {"VekDC: dec out file open error: {d}/a.txt: Not a directory\n"},
     {}},
    {"decode, a missing key",
     {"decode", "-k", "{d}/missing.key", "-o", "{d}/out", "{d}/a.vek"},
     1,
     {"VekDC: {d}/missing.key cannot be opened (read_matrix_from_binary_file): No such file "
      "or directory\n"},
     {}},
    // encode
    {"encode, all written",
     {"encode", "-k", "{B}", "-o", "{d}/out", "{d}/a.txt"},
     0,
     {},
     {"a.vek"}},
    {"encode, a refused type stops the whole list",
     {"encode", "-k", "{B}", "-o", "{d}/out", "{d}/a.txt", "{d}/doc.pdf"},
     1,
     {"VekDC: Sorry, VEK encoder is not ready for this type of file: {d}/doc.pdf\n"},
     {}},
    {"encode, too short",
     {"encode", "-k", "{B}", "-o", "{d}/out", "-p", "2", "{d}/a.txt", "{d}/tiny.txt"},
     1,
     {"{d}/tiny.txt is too short to encode: it holds 9 bytes, and a clear prefix of 2 needs at "
      "least 12"},
     {}},
    {"encode, two inputs give one output",
     {"encode", "-k", "{B}", "-o", "{d}/out", "{d}/a.txt", "{d}/a.doc"},
     1,
     {"{d}/a.txt and {d}/a.doc would both be encoded to {d}{s}out{s}a.vek"},
     {}},
    {"encode, a missing input",
     {"encode", "-k", "{B}", "-o", "{d}/out", "{d}/a.txt", "{d}/gone.txt"},
     1,
     {"VekDC: {d}/gone.txt cannot be opened (in batch mode encoder): No such file or "
      "directory\n"},
     {}},
    {"encode, a vek file",
     {"encode", "-k", "{B}", "-o", "{d}/out", "{d}/a.vek"},
     1,
     {"VekDC: I do not want to encrypt a vek file: {d}/a.vek\n"},
     {}},
    {"encode, the encoding key is missing",
     {"encode", "--encoding-key", "{d}/none.key", "-o", "{d}/out", "{d}/a.txt"},
     1,
     {"VekDC: {d}/none.key cannot be opened (read_matrix_from_binary_file): No such file or "
      "directory\n"},
     {}},
    {"encode, the encoding key is a folder",
     {"encode", "--encoding-key", "{d}/folder.vek", "-o", "{d}/out", "{d}/a.txt"},
     1,
     {"VekDC: {d}/folder.vek cannot be opened (read_matrix_from_binary_file): Is a directory\n"},
     {}},
    {"encode, the encoding key has no name",
     {"encode", "--encoding-key=", "-o", "{d}/out", "{d}/a.txt"},
     1,
     {"VekDC: '' cannot be opened (read_matrix_from_binary_file): No such file or directory\n"},
     {}},
    {"encode with the encoding key",
     {"encode", "--encoding-key", "{A}", "-o", "{d}/out", "{d}/a.doc"},
     0,
     {},
     {"a.vek"}},
    {"encode, the output folder is a file",
     {"encode", "-k", "{B}", "-o", "{d}/a.txt", "{d}/a.doc"},
     255,
     {"VekDC: enc out file open error: {d}/a.txt: Not a directory\n"},
     {}},
    // check
    {"check, every file opened",
     {"check", "-k", "{d}/other.key", "-k", "{B}", "{d}/a.vek", "{d}/other.vek"},
     0,
     {},
     {}},
    {"check, a file no key opens", {"check", "-k", "{B}", "{d}/a.vek", "{d}/other.vek"}, 2, {}, {}},
    {"check, a file that is not encrypted",
     {"check", "-k", "{B}", "{d}/junk.vek", "{d}/other.vek", "{d}/missing.vek"},
     1,
     {"VekDC: This is not a pVEK file: {d}/junk.vek\n",
      "VekDC: file open error in batch mode (decoder): {d}/missing.vek: No such file or "
      "directory\n"},
     {}},
    // keyset (standard input is not a terminal here)
    {"keyset without files and no terminal to ask on",
     {"keyset", "--drive-d", "{d}"},
     64,
     {"vekdc-cli: without a terminal to ask on, give the six files to encode\n"},
     {}},
    {"keyset into a missing folder",
     {"keyset", "--drive-d", "{d}/out", "{d}/a.txt", "{d}/a.doc", "{d}/a.txt", "{d}/a.doc",
      "{d}/a.txt", "{d}/a.doc"},
     1,
     {"vekdc-cli: the folder for drive D: {d}/out does not exist; create it first\n"},
     {}},
    // keygen
    {"keygen into a missing folder",
     {"keygen", "--create-b", "--random", "-d", "{d}/out"},
     1,
     {"vekdc-cli: the key folder {d}/out does not exist; create it first\n"},
     {}},
    // 255 wins over 1
    {"decode, an unusable output folder wins over a missing key",
     {"decode", "-k", "{d}/missing.key", "-o", "{d}/a.txt", "{d}/a.vek"},
     255,
     {"VekDC: dec out file open error: {d}/a.txt: Not a directory\n"},
     {}},
    {"encode, an unusable output folder wins over a missing key",
     {"encode", "-k", "{d}/missing.key", "-o", "{d}/a.txt", "{d}/a.doc"},
     255,
     {"VekDC: enc out file open error: {d}/a.txt: Not a directory\n"},
     {}},
    // nothing written, no folder made
    {"decode, a wrong key makes no folder",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/other.vek"},
     2,
     {"{d}/other.vek"},
     {}},
    {"decode, a key of zeros is named and makes no folder",
     {"decode", "-k", "{d}/zero.key", "-o", "{d}/out", "{d}/a.vek"},
     1,
     {"singular matrix in routine \"lu_decomposition1\": {d}/zero.key\n"},
     {},
     {},
     {},
     {},
     nullptr,
     nullptr,
     true},
    {"decode, a key that is not a number is named",
     {"decode", "-k", "{d}/nan.key", "-o", "{d}/out", "{d}/a.vek"},
     1,
     {"singular matrix in routine \"lu_decomposition1\": {d}/nan.key\n"},
     {},
     {},
     {},
     {},
     nullptr,
     nullptr,
     true},
    {"encode, a key of zeros makes no folder",
     {"encode", "-k", "{d}/zero.key", "-o", "{d}/out", "{d}/a.txt"},
     1,
     {"VekDC: The decoding key cannot be used for encoding: {d}/zero.key: "},
     {}},
    // names
    {"decode, a drive path gives a name without the drive",
     {"decode", "-k", "{B}", "-o", "{d}/out", "d:\\a.vek"},
     0,
     {},
     {"a\\.txt"},
     {},
     {},
     {"VEKDC_DRIVE_D={d}"}},
    {"decode, a long name whose first choice is taken is shortened",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/{long}.vek", "{d}/a.vek"},
     0,
     {},
     {"a\\.txt", "x{200,249}-?[0-9]+\\.txt", "x{250}\\.txt"},
     {{"{d}/out/", ""}, {"{d}/out/{long}.txt", "{d}/a.txt"}, {"{d}/{long}.vek", "{d}/a.vek"}}},
#ifndef _WIN32  // Windows names hold no control characters
    {"decode, names are printed with control characters escaped",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/{ctl}.vek"},
     0,
     {},
     {"e\x1b\\[2J\nf\\.txt"},
     {{"{d}/{ctl}.vek", "{d}/a.vek"}},
     {"$'{d}/e\\e[2J\\nf.vek' -> $'{d}/out/e\\e[2J\\nf.txt'\n"}},
#endif
    {"decode keeps a given file named like a leftover",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/out/.vekdc-999999-1-1.tmp"},
     0,
     {},
     {"\\.vekdc-999999-1-1\\.tmp", "\\.vekdc-999999-1-1\\.txt"},
     {{"{d}/out/", ""}, {"{d}/out/.vekdc-999999-1-1.tmp", "{d}/a.vek"}}},
#ifndef _WIN32  // links need privileges there
    {"keyset, a dangling link holds the master key's name",
     {"keyset", "--drive-d", "{d}/out", "{d}/k1.txt", "{d}/k2.txt", "{d}/k3.txt", "{d}/k4.txt",
      "{d}/k5.txt", "{d}/k6.txt"},
     0,
     {},
     {"daughter1_-?[0-9]+\\.key", "daughter2_-?[0-9]+\\.key", "daughter3_-?[0-9]+\\.key",
      "master\\.key", "master_-?[0-9]+\\.key"},
     {{"{d}/out/", ""}, {"{d}/out/master.key", "->{d}/nowhere/x"}},
     {},
     {},
     "{d}/work"},
#endif
    // only problems with -q
    {"decode -q",
     {"decode", "-q", "-k", "{B}", "-o", "{d}/out", "{d}/a.vek"},
     0,
     {},
     {"a\\.txt"},
     {},
     {},
     {},
     nullptr,
     nullptr,
     true},
    {"encode -q with an encoding key",
     {"encode", "-q", "--encoding-key", "{A}", "-o", "{d}/out", "{d}/a.doc"},
     0,
     {},
     {"a\\.vek"},
     {},
     {},
     {},
     nullptr,
     nullptr,
     true},
    {"keygen -q",
     {"keygen", "-q", "--create-a", "--regular", "-d", "{d}/out"},
     0,
     {},
     {"A_12_11_matrix_[0-9]+", "B_11_12_matrix_[0-9]+"},
     {{"{d}/out/", ""}},
     {},
     {},
     nullptr,
     nullptr,
     true},
    {"keyset -q",
     {"keyset", "-q", "--drive-d", "{d}/out", "{d}/k1.txt", "{d}/k2.txt", "{d}/k3.txt",
      "{d}/k4.txt", "{d}/k5.txt", "{d}/k6.txt"},
     0,
     {},
     {"daughter1\\.key", "daughter2\\.key", "daughter3\\.key", "master\\.key"},
     {{"{d}/out/", ""}},
     {},
     {},
     "{d}/work",
     nullptr,
     true},
#ifndef _WIN32
    // standard output lost
    {"check, standard output on a full disk",
     {"check", "-k", "{B}", "{d}/a.vek"},
     1,
     {"vekdc-cli: write error on standard output: No space left on device\n"},
     {},
     {},
     {},
     {},
     nullptr,
     "full",
     true},
    {"decode, standard output closed",
     {"decode", "-k", "{B}", "-o", "{d}/out", "{d}/a.vek"},
     1,
     {"vekdc-cli: write error on standard output: Bad file descriptor\n"},
     {"a\\.txt"},
     {{"{d}/out/", ""}},
     {},
     {},
     nullptr,
     "closed",
     true},
    {"keygen, standard output on a full disk",
     {"keygen", "--create-b", "--random", "-d", "{d}/out"},
     1,
     {"vekdc-cli: write error on standard output: No space left on device\n"},
     {"A_12_11_matrix_[0-9]+", "B_11_12_matrix_[0-9]+"},
     {{"{d}/out/", ""}},
     {},
     {},
     nullptr,
     "full",
     true},
    {"help, standard output on a full disk",
     {"help"},
     1,
     {"vekdc-cli: write error on standard output: No space left on device\n"},
     {},
     {},
     {},
     {},
     nullptr,
     "full",
     true},
#endif
};

std::string with_places(std::string text, const std::map<std::string, std::string>& places) {
    for (const auto& [place, value] : places) {
        for (std::size_t at = text.find(place); at != std::string::npos;
             at = text.find(place, at + value.size())) {
            text.replace(at, place.size(), value);
        }
    }
    return text;
}

// Runs a case's command as the case says: where, with what, and with its
// standard output sent where it says.
ProcessResult run_case(const status_case& c, std::vector<std::string> arguments,
                       const std::string& workdir, const std::vector<std::string>& environment) {
    arguments.insert(arguments.begin(), test::build_path(VEKDC_CLI));
    if (c.output != nullptr) {
        const std::string redirect = std::string(c.output) == "full" ? ">/dev/full" : ">&-";
        arguments.insert(arguments.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + redirect});
    }
    return test::run_process(arguments, workdir, environment);
}

// The names in {d}/out, an empty folder as "(empty folder)", nothing when
// there is no such folder.
std::vector<std::string> out_names(const TempDir& dir) {
    if (!test::exists(dir / "out")) {
        return {};
    }
    const auto names = names_in(dir / "out");
    return names.empty() ? std::vector<std::string>{"(empty folder)"} : names;
}

void make_before(const std::pair<std::string, std::string>& item) {
    const auto& [path, source] = item;
    if (path.ends_with("/")) {
        std::filesystem::create_directories(path);
    } else if (source.starts_with("->")) {
        std::filesystem::create_symlink(source.substr(2), path);
    } else {
        std::filesystem::copy_file(source, path);
    }
}

TEST_F(CliTest, EveryStatusTellsTheTruthAndNamesTheFile) {
    const std::string other_keys = folder("other-keys");
    const ProcessResult made = cli({"keygen", "--create-a", "--regular", "-d", other_keys});
    ASSERT_EQ(made.status, 0) << made.err;
    std::filesystem::copy_file(lines(made.out)[0], dir / "other.key");
    test::write_file(dir / "a.txt", test::pattern_bytes(300, 1));
    test::write_file(dir / "a.doc", test::pattern_bytes(300, 2));
    test::write_file(dir / "tiny.txt", "too short");
    test::write_file(dir / "doc.pdf", test::pattern_bytes(100, 3));
    test::write_file(dir / "junk.vek", std::string(200, 'x'));
    test::write_file(dir / "zero.key", std::string(1056, '\0'));
    test::write_file(dir / "nan.key", std::string(1056, '\xff'));  // NaN, all of it
    folder("folder.vek");
    folder("work");
    for (const char* name : {"k1.txt", "k2.txt", "k3.txt", "k4.txt", "k5.txt", "k6.txt"}) {
        test::write_file(dir / name, test::pattern_bytes(50, name[1]));
    }
    ASSERT_EQ(cli({"encode", "-k", key_B, "-o", dir.path(), dir / "a.txt"}).status, 0);
    test::write_file(dir / "b.txt", test::pattern_bytes(300, 4));
    ASSERT_EQ(cli({"encode", "-k", dir / "other.key", "-o", folder("o"), dir / "b.txt"}).status, 0);
    std::filesystem::rename(dir / "o/b.vek", dir / "other.vek");
    const std::map<std::string, std::string> places = {
        {"{d}", dir.path()}, {"{B}", key_B},        {"{A}", key_A},
        {"{s}", test::kSep}, {"{long}", kLongStem}, {"{ctl}", "e\x1b[2J\nf"}};

    for (const status_case& c : kStatusCases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir / "out");
        const auto placed = [&](const std::vector<std::string>& texts) {
            std::vector<std::string> result;
            for (const std::string& text : texts) {
                result.push_back(with_places(text, places));
            }
            return result;
        };
        for (const auto& [path, source] : c.before) {
            make_before({with_places(path, places), with_places(source, places)});
        }
        const ProcessResult r =
            run_case(c, placed(c.arguments), c.workdir ? with_places(c.workdir, places) : "",
                     placed(c.environment));
        EXPECT_EQ(r.status, c.status) << r.err;
        std::string all_messages;
        for (const std::string& message : placed(c.messages)) {
            EXPECT_NE(r.err.find(message), std::string::npos)
                << "wanted: " << message << "got: " << r.err;
            all_messages += message;
        }
        for (const std::string& line : placed(c.printed)) {
            EXPECT_NE(r.out.find(line), std::string::npos)
                << "wanted: " << line << "got: " << r.out;
        }
        if (c.nothing_else) {
            EXPECT_EQ(r.err, all_messages);
            EXPECT_EQ(r.out, "");
        }
        const std::vector<std::string> written = out_names(dir);
        const std::vector<std::string> wanted = placed(c.written);
        EXPECT_EQ(written.size(), wanted.size()) << testing::PrintToString(written);
        for (std::size_t i = 0; i < std::min(written.size(), wanted.size()); ++i) {
            EXPECT_TRUE(std::regex_match(written[i], std::regex(wanted[i])))
                << written[i] << " does not match " << wanted[i];
        }
    }
    EXPECT_EQ(test::read_file(dir / "a.txt"), test::pattern_bytes(300, 1));
}

TEST_F(CliTest, CheckTellsWhichKeyOpensWhichFile) {
    const std::string drive = folder("drive");
    const std::string plain = folder("plain");
    const std::string work = folder("work");
    std::vector<std::string> keyset{"keyset", "--drive-d", drive};
    for (const char* name : {"a.gif", "b.txt", "c.jpg", "d.doc", "e.ttf", "f.wav"}) {
        test::write_file(plain + "/" + name, test::pattern_bytes(128, name[0]));
        keyset.push_back(plain + "/" + name);
    }
    ASSERT_EQ(cli(keyset, work).status, 0);
    const std::string master = drive + "/master.key";
    const std::string d1 = drive + "/daughter1.key";
    const std::string d3 = drive + "/daughter3.key";
    const ProcessResult r = cli({"check", "-k", master, "-k", d1, "--key=" + d3, work + "/a.vek",
                                 work + "/c.vek", work + "/f.vek"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{
                  work + "/a.vek: type gif, clear prefix 0 bytes, opened by " + master + ", " + d1,
                  work + "/c.vek: type jpg, clear prefix 0 bytes, opened by " + master,
                  work + "/f.vek: type wav, clear prefix 0 bytes, opened by " + master + ", " + d3,
              }));
    const ProcessResult daughters = cli({"check", "-k", d1, work + "/b.vek", work + "/c.vek"});
    EXPECT_EQ(daughters.status, 2);
    EXPECT_EQ(lines(daughters.out)[1],
              work + "/c.vek: type jpg, clear prefix 0 bytes, opened by no given key");
    const ProcessResult quiet = cli({"check", "-q", "-k", master, work + "/b.vek"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(names_in(work).size(), 6u) << "check writes nothing";
}

TEST_F(CliTest, VerboseAddsHeaderFactsAndQuietDropsTheLines) {
    const std::string plain = folder("plain");
    test::write_file(plain + "/song.mp3", test::pattern_bytes(4096, 8));
    const ProcessResult verbose =
        cli({"encode", "-v", "-k", key_B, "-o", folder("enc"), "-p", "16", plain + "/song.mp3"});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(lines(verbose.out)[1], "  type mp3 (51), 4096 bytes");
    const ProcessResult decoded =
        cli({"decode", "--verbose", "-k", key_B, "-o", folder("dec"), dir / "enc/song.vek"});
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(lines(decoded.out).at(1), "  type mp3 (51), clear prefix 16 bytes, 4214 bytes");
    const ProcessResult quiet =
        cli({"decode", "-q", "-k", key_B, "-o", folder("dec2"), dir / "enc/song.vek"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "") << "no progress line when standard error is not a terminal";
    EXPECT_EQ(names_in(dir / "dec2"), std::vector<std::string>{"song.mp3"});
}

#ifndef _WIN32  // xdg-open and FIFOs are the POSIX desktop's
// What a stand-in for the desktop's opener, put first on PATH, is given:
// it writes its arguments into a FIFO, one a line. The test waits on the
// FIFO (for at most `patience`) instead of on the clock.
class FakeOpener {
public:
    explicit FakeOpener(const std::string& folder)
        : bin_(folder + "/bin"), fifo_(folder + "/fifo") {
        ::mkdir(bin_.c_str(), 0755);
        test::write_file(bin_ + "/xdg-open",
                         "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + fifo_ + "'\n");
        ::chmod((bin_ + "/xdg-open").c_str(), 0755);
        ::mkfifo(fifo_.c_str(), 0600);
        reader_ = ::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
    }
    ~FakeOpener() { ::close(reader_); }

    std::string path_setting() const {
        const char* path = std::getenv("PATH");
        return "PATH=" + bin_ + ":" + (path != nullptr ? path : "/usr/bin:/bin");
    }

    // Everything the openers wrote, once the first has written and all have
    // closed; empty when none wrote within the patience.
    std::string received(int patience_ms = 20000) {
        std::string text;
        pollfd wanted{reader_, POLLIN, 0};
        while (::poll(&wanted, 1, patience_ms) > 0) {
            char buffer[512];
            const ssize_t got = ::read(reader_, buffer, sizeof buffer);
            if (got <= 0 && (wanted.revents & POLLHUP) != 0) {
                break;
            }
            if (got > 0) {
                text.append(buffer, static_cast<std::size_t>(got));
            }
        }
        return text;
    }

private:
    std::string bin_;
    std::string fifo_;
    int reader_ = -1;
};

TEST_F(CliTest, ViewOpensOnlyWhenAskedAndWithAnAbsolutePath) {
    FakeOpener opener(dir.path());
    test::write_file(dir / "a.gif", test::pattern_bytes(200, 5));
    test::write_file(dir / "-x.gif", test::pattern_bytes(200, 6));
    ASSERT_EQ(
        cli({"encode", "-k", key_B, "-o", folder("enc"), dir / "a.gif", dir / "-x.gif"}).status, 0);
    const ProcessResult quiet = cli({"decode", "-k", key_B, "-o", "plain", dir / "enc/a.vek"},
                                    dir.path(), {opener.path_setting()});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    // A relative output folder and a name that looks like an option.
    const ProcessResult viewed =
        cli({"decode", "--view", "-k", key_B, "-o", "viewed", "--", dir / "enc/-x.vek"}, dir.path(),
            {opener.path_setting()});
    ASSERT_EQ(viewed.status, 0) << viewed.err;
    EXPECT_EQ(opener.received(), dir / "viewed/-x.gif\n");
}

TEST_F(CliTest, ManyViewersWithoutATerminalOpenNone) {
    FakeOpener opener(dir.path());
    std::vector<std::string> encode{"encode", "-k", key_B, "-o", folder("enc")};
    std::vector<std::string> decode{"decode", "--view", "-k", key_B, "-o", "many"};
    for (int i = 0; i < 11; ++i) {
        const std::string name = "p" + std::to_string(i);
        test::write_file(dir / (name + ".gif"), test::pattern_bytes(200, i));
        encode.push_back(dir / (name + ".gif"));
        decode.push_back(dir / ("enc/" + name + ".vek"));
    }
    ASSERT_EQ(cli(encode).status, 0);
    // Eleven viewers would be asked about; with no terminal to ask on, the
    // answer is no: every file is decoded and no viewer starts.
    const ProcessResult many = cli(decode, dir.path(), {opener.path_setting()});
    ASSERT_EQ(many.status, 0) << many.err;
    EXPECT_EQ(test::names_in(dir / "many").size(), 11u);
    EXPECT_NE(many.err.find("no terminal to ask on; the answer is no"), std::string::npos)
        << many.err;
    // Ten or fewer open without a question; only this one reaches the opener.
    const ProcessResult one =
        cli({"decode", "--view", "-k", key_B, "-o", "one", dir / "enc/p0.vek"}, dir.path(),
            {opener.path_setting()});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(opener.received(), dir / "one/p0.gif\n");
}

TEST_F(CliTest, AKilledDecodeLeavesNothingBehind) {
    // A long clear rest, almost all of it a hole, keeps the decoder copying
    // long enough to be stopped in the middle.
    const std::uint64_t size = std::uint64_t{4} << 30;
    if (test::free_space(dir.path()) < 2 * size) {
        GTEST_SKIP() << "needs 8 GiB of free disk space";
    }
    const std::string plain = folder("plain");
    const std::string enc = folder("enc");
    const std::string out = folder("out");
    test::write_file(plain + test::kSep + "long.wav", test::pattern_bytes(100, 3));
    ASSERT_EQ(cli({"encode", "-k", key_B, "-o", enc, plain + test::kSep + "long.wav"}).status, 0);
    const std::string vek = enc + test::kSep + "long.vek";
    test::write_sparse(vek, size - 4, "END!");

    test::ChildProcess decode({test::build_path(VEKDC_CLI), "decode", "-k", key_B, "-o", out, vek});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    std::optional<bool> writing = false;
    while (!decode.ended() && std::chrono::steady_clock::now() < deadline) {
        writing = decode.writing_into(out);
        if (!writing || *writing) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // polls the condition
    }
    if (!writing) {
        GTEST_SKIP() << "without /proc the output of a running decode cannot be seen";
    }
    ASSERT_TRUE(*writing) << "the decode ended or never began writing";
    decode.kill();
    EXPECT_EQ(decode.wait(), 137);  // killed, not ended by itself
    EXPECT_TRUE(test::names_in(out).empty());
}

#endif

TEST_F(CliTest, NamesInAnyScriptRoundTrip) {
    const std::string plain = folder("平文");
    const std::string enc = folder("暗号");
    const std::string out = folder("復号");
    const std::string content = test::pattern_bytes(3000, 12);
    test::write_file(plain + test::kSep + "日本語のメモ.txt", content);
    const ProcessResult encoded =
        cli({"encode", "-k", key_B, "-o", enc, plain + test::kSep + "日本語のメモ.txt"});
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    EXPECT_EQ(encoded.out, plain + test::kSep + "日本語のメモ.txt -> " + enc + test::kSep +
                               "日本語のメモ.vek\n");
    const ProcessResult decoded =
        cli({"decode", "-k", key_B, "-o", out, enc + test::kSep + "日本語のメモ.vek"});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(test::names_in(out), std::vector<std::string>{"日本語のメモ.txt"});
    EXPECT_EQ(test::read_file(out + test::kSep + "日本語のメモ.txt"), content);
}

#ifdef _WIN32
// cmd.exe and PowerShell leave wildcards to the program, as Windows users
// know; a pattern that matches nothing is named like a missing file.
TEST_F(CliTest, WildcardsInFileArgumentsNameTheFilesThatMatch) {
    const std::string enc = folder("enc");
    for (const char* name : {"a.txt", "b.doc"}) {
        test::write_file(dir / name, test::pattern_bytes(200, name[0]));
        ASSERT_EQ(cli({"encode", "-k", key_B, "-o", enc, dir / name}).status, 0);
    }
    const ProcessResult r =
        cli({"decode", "-k", key_B, "-o", dir / "out", enc + "\\*.vek", enc + "\\*.none"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(enc + "\\*.none: No such file or directory"), std::string::npos) << r.err;
    EXPECT_EQ(test::names_in(dir / "out"), (std::vector<std::string>{"a.txt", "b.doc"}));
}

// On Windows drive letters are the system's own: without --drive-d or
// VEKDC_DRIVE_D keyset writes to the drive D: itself, as README says, instead
// of refusing. No test writes to a real drive: run where D: does not exist.
TEST_F(CliTest, KeysetWithoutAFolderForDriveDUsesTheDriveItself) {
    if (test::exists("D:\\")) {
        GTEST_SKIP() << "this machine has a drive D:";
    }
    test::ScopedEnvironment no_folder({{"VEKDC_DRIVE_D", std::nullopt}});
    std::vector<std::string> keyset{"keyset"};
    for (int i = 0; i < 6; ++i) {
        keyset.push_back(dir / "a.txt");
    }
    const ProcessResult r = cli(keyset);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vekdc-cli: the folder for drive D: D:\\ does not exist; create it first\n");
}
#endif

// Folders named in any script, given to every command that takes one; the
// output folders are not made beforehand. On Windows the folder checks once
// read such names in the ANSI code page.
TEST_F(CliTest, FoldersNamedInAnyScriptAreFoundAndMade) {
    test::write_file(dir / "メモ.txt", test::pattern_bytes(300, 7));
    test::make_folder(dir / "鍵");
    ASSERT_EQ(cli({"encode", "-k", key_B, "-o", dir.path(), dir / "メモ.txt"}).status, 0);
    const struct {
        const char* name;
        std::vector<std::string> arguments;  // "{d}" stands for the test's folder
        int status;
        std::string written;  // below {d}, or the message on standard error
    } cases[] = {
        {"keygen into an existing folder",
         {"keygen", "--create-b", "--random", "-d", "{d}/鍵"},
         0,
         "鍵"},
        {"encode into a new folder two levels down",
         {"encode", "-k", key_B, "-o", "{d}/出力/下", "{d}/メモ.txt"},
         0,
         "出力/下/メモ.vek"},
        {"decode into a file",
         {"decode", "-k", key_B, "-o", "{d}/メモ.txt", "{d}/メモ.vek"},
         255,
         "{d}/メモ.txt: Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments) {
            arguments.push_back(with_places(argument, {{"{d}", dir.path()}}));
        }
        const ProcessResult r = cli(arguments);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            EXPECT_TRUE(test::exists(dir / c.written)) << r.err;
        } else {
            EXPECT_NE(r.err.find(with_places(c.written, {{"{d}", dir.path()}})), std::string::npos)
                << r.err;
        }
    }
    EXPECT_EQ(test::names_in(dir / "鍵").size(), 2u);
}

TEST_F(CliTest, UsageErrorsExitWith64) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"decode", "x.vek"},
        {"decode", "-k", key_B},
        {"decode", "-k"},
        {"decode", "-k", key_B, "--bogus", "x.vek"},
        {"encode", "-k", key_B, "--encoding-key", key_A, "x.txt"},
        {"encode", "-k", key_B, "-p", "four", "x.txt"},
        {"keygen", "--create-a"},
        {"keygen", "--create-a", "--create-b", "--random"},
        {"keygen", "--create-a", "--random", "extra"},
        {"check", "-k", key_B},
        {"help", "frobnicate"},
    };
    for (const auto& args : bad) {
        const ProcessResult r = cli(args);
        EXPECT_EQ(r.status, 64) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("Usage: vekdc-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    for (const char* command : {"decode", "encode", "check", "keygen", "keyset"}) {
        for (const std::vector<std::string>& ask :
             {std::vector<std::string>{command, "--help"}, {"help", command}}) {
            const ProcessResult help = cli(ask);
            EXPECT_EQ(help.status, 0);
            EXPECT_EQ(help.out.rfind(std::string("Usage: vekdc-cli ") + command, 0), 0u) << command;
        }
    }
    EXPECT_EQ(cli({"--version"}).out, "vekdc-cli " VEKDC_VERSION "\n");
}

TEST(Examples, TheBundledFilesDecodeToTheirOriginals) {
    TempDir out;
    const std::string examples = test::build_path(VEKDC_SOURCE_DIR) + "/examples";
    const ProcessResult r =
        cli({"decode", "-k", examples + "/example.key", "-o", out.path(), examples + "/picture.vek",
             examples + "/notes.vek", examples + "/letter.vek"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"picture.jpg", "notes.txt", "letter.doc"}) {
        EXPECT_EQ(test::read_file(out / name), test::read_file(examples + "/plain/" + name))
            << name;
    }
}

// The bundled key is what keygen makes, and the bundled encrypted files are
// what encoding the plain examples with it makes: keys and files come out
// bit for bit the same on every system.
TEST(Examples, KeygenAndEncodeRemakeTheBundledFilesBitForBit) {
    TempDir out;
    const std::string examples = test::build_path(VEKDC_SOURCE_DIR) + "/examples";
    const ProcessResult keys = cli({"keygen", "--create-b", "--random", "-d", out.path()});
    ASSERT_EQ(keys.status, 0) << keys.err;
    const auto written = lines(keys.out);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(test::read_file(written[0]), test::read_file(examples + "/example.key"));
    std::vector<std::string> encode{"encode", "-k", written[0], "-o", out.path()};
    for (const char* name : {"picture.jpg", "notes.txt", "letter.doc"}) {
        encode.push_back(examples + "/plain/" + name);
    }
    const ProcessResult encoded = cli(encode);
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    for (const char* stem : {"picture", "notes", "letter"}) {
        EXPECT_EQ(test::read_file(out / (std::string(stem) + ".vek")),
                  test::read_file(examples + "/" + stem + ".vek"))
            << stem;
    }
}

}  // namespace
}  // namespace vekdc
