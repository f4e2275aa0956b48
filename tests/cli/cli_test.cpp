#include <chrono>
#include <filesystem>
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

ProcessResult cli(std::vector<std::string> args, const std::string& workdir = "") {
    args.insert(args.begin(), test::build_path(VEKDC_CLI));
    return test::run_process(args, workdir);
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
    EXPECT_EQ(out.front(), drive + test::kSep + "master.key");
    EXPECT_EQ(out[1], "a.gif -> a.vek");  // a dialog gives the file name only
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

TEST_F(CliTest, RefusalsReportTheirStatusAndWriteNothing) {
    const std::string out = folder("out");
    const std::string plain = folder("plain");
    test::write_file(dir / "junk.vek", std::string(200, 'x'));
    test::write_file(dir / "short.key", std::string(100, '\0'));
    test::write_file(plain + "/tiny.txt", "short");
    test::write_file(plain + "/doc.pdf", test::pattern_bytes(100, 1));

    ProcessResult r = cli({"decode", "-k", key_B, "-o", out, dir / "junk.vek"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "VekDC: This is not a pVEK file.\n");

    r = cli({"decode", "-k", dir / "missing.key", "-o", out, dir / "junk.vek"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir / "missing.key cannot be opened"), std::string::npos) << r.err;

    r = cli({"decode", "-k", dir / "short.key", "-o", out, dir / "junk.vek"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("short.key is too short for a 11 x 12 key"), std::string::npos) << r.err;

    ASSERT_EQ(cli({"encode", "-k", key_B, "-o", plain, "-p", "0", plain + "/doc.pdf"}).status, 0);
    r = cli({"encode", "-k", key_B, "-o", out, plain + "/doc.pdf"});
    EXPECT_EQ(r.status, 0);  // a refused type ends the run with status 0
    EXPECT_EQ(r.err, "VekDC: Sorry, VEK encoder is not ready for this type of file.\n");

    r = cli({"encode", "-k", key_B, "-o", out, plain + "/tiny.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tiny.txt is too short to encode"), std::string::npos) << r.err;

    test::write_file(plain + "/ok.txt", test::pattern_bytes(100, 2));
    ASSERT_EQ(cli({"encode", "-k", key_B, "-o", plain, plain + "/ok.txt"}).status, 0);
    r = cli({"decode", "-k", key_B, "-o", dir / "no-such-folder", plain + "/ok.vek"});
    EXPECT_EQ(r.status, test::kStatusMinusOne);  // exit(-1): 255 on POSIX, -1 on Windows
    EXPECT_EQ(r.err, "VekDC: dec out file open error\n");
    EXPECT_TRUE(names_in(out).empty());
}

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
    };
    for (const auto& args : bad) {
        const ProcessResult r = cli(args);
        EXPECT_EQ(r.status, 64) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("usage: vekdc-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    for (const char* command : {"decode", "encode", "keygen", "keyset"}) {
        const ProcessResult help = cli({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: vekdc-cli ") + command, 0), 0u) << command;
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
