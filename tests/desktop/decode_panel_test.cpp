// The decode panel's operations and the decode job runner: refusals, a run
// from start to end, a wrong key, cancelling, the key read once per
// process, the ways that end the program, the key dialog and the output folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "desktop/decode_panel.h"
#include "engine/matrix_cipher.h"
#include "tests/desktop/desktop_support.h"
#include "tests/support/test_support.h"

namespace vekdc::desktop {
namespace {

using test::ja;
using test::kSep;

constexpr unsigned kFirstKeySeed = 4711;
constexpr unsigned kOtherKeySeed = 90210;

class DecodePanelTest : public testing::Test {
protected:
    void SetUp() override {
        key_cache::reset();
        session.create();
        session.InitialUpdateFrame();
        first = test::make_decoding_key(kFirstKeySeed);
        other = test::make_decoding_key(kOtherKeySeed);
        // Paths beyond the old fixed buffers: a key path of more than 100
        // bytes, files of more than 256.
        deep = dir.path();
        for (int i = 0; i < 4; ++i) {
            deep +=
                kSep + "folder_with_a_name_long_enough_to_pass_the_old_limits_" + std::to_string(i);
            test::make_folder(deep);
        }
        key = write_key(deep + kSep + "first.key", first.get());
        out = dir / "out";
        test::make_folder(out);
        session.doc().m_strKeyPath = key;
        session.panel_pane->out_dir = out;
    }
    void TearDown() override { key_cache::reset(); }

    static std::string write_key(const std::string& path, Matrix matrix) {
        return write_matrix_into_binary_file(
            false, matrix, kPlainLength, kBlockLength, test::file_name(path),
            path.substr(0, path.size() - test::file_name(path).size()));
    }
    // A plain file `name` of `size` bytes encrypted with `matrix` into the
    // deep folder; the plain bytes are kept for comparison.
    std::string encrypted(const std::string& name, std::size_t size, Matrix matrix) {
        const std::string plain_folder = deep + kSep + "plain";
        test::make_folder(plain_folder);
        const std::string plain = plain_folder + kSep + name;
        plain_bytes[name] = test::pattern_bytes(size, static_cast<unsigned>(plain_bytes.size()));
        test::write_file(plain, plain_bytes[name]);
        return test::encode_with(matrix, plain, deep + kSep);
    }
    void list(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            session.panel().AddFileToList(path);
        }
    }
    std::vector<std::string> texts() { return session.recorder->texts(); }

    test::TempDir dir;
    test::desktop_session session;
    MatrixPtr first;
    MatrixPtr other;
    std::string deep;
    std::string key;
    std::string out;
    std::map<std::string, std::string> plain_bytes;
};

TEST_F(DecodePanelTest, RefusesARunThatCannotGoOn) {
    const std::string good = encrypted("fine.txt", 40, first.get());
    struct row {
        const char* name;
        std::vector<std::string> listed;
        std::string out_dir;
        bool decoding;
        std::string message;  // the one box shown
    };
    const row rows[] = {
        {"empty list", {}, out, false, ja(text_id::empty_list)},
        {"no output folder", {good}, "", false, ja(text_id::no_out_dir)},
        {"a run is active", {good}, out, true, ja(text_id::busy)},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        session.panel().ClearFileList();
        list(r.listed);
        session.panel_pane->out_dir = r.out_dir;
        session.doc().m_bDecoding = r.decoding ? 1 : 0;
        session.recorder->boxes.clear();
        session.panel_pane->running.clear();

        EXPECT_EQ(session.panel().StartDecode(), -1);
        session.doc().m_bDecoding = 0;
        EXPECT_EQ(texts(), std::vector<std::string>{r.message});
        // Nothing ran: the list is kept, nothing written, the key not read.
        EXPECT_EQ(session.doc().m_fileList.size(), r.listed.size());
        EXPECT_TRUE(session.panel_pane->running.empty());
        EXPECT_EQ(session.panel().GetPanelColor(), decode_panel::kIdleColour);
        EXPECT_TRUE(test::names_in(out).empty());
        EXPECT_EQ(key_cache::key(), nullptr);
    }
    // The status bar's bar came with the first request, once.
    EXPECT_EQ(session.tree_pane.bars, 1);
}

TEST_F(DecodePanelTest, NamesTheFilesItCannotDecodeAndDecodesTheOthers) {
    test::make_folder(deep + kSep + "sub.vek");
    test::write_file(deep + kSep + "plain.vek", std::string(100, 'p'));
    std::vector<std::string> many;
    for (int i = 0; i < 22; ++i) {
        many.push_back(deep + kSep + "gone_" + std::to_string(10 + i) + ".vek");
    }
    struct row {
        const char* name;
        std::vector<std::string> bad;
        std::string names;  // what the box says after its first line
    };
    std::vector<row> rows = {
        {"a folder",
         {deep + kSep + "sub.vek"},
         deep + kSep + "sub.vek: " + ja(text_id::problem_folder)},
        {"missing",
         {deep + kSep + "gone.vek"},
         deep + kSep + "gone.vek: " + ja(text_id::problem_missing) + " (" + std::strerror(ENOENT) +
             ")"},
        {"not encrypted",
         {deep + kSep + "plain.vek"},
         deep + kSep + "plain.vek: " + ja(text_id::problem_not_encrypted)},
        // →リストに追加 with nothing selected lists an empty path.
        {"an empty path",
         {""},
         ": " + ja(text_id::problem_missing) + " (" + std::strerror(ENOENT) + ")"},
        {"more than a box names", many,
         deep + kSep + "gone_29.vek: " + ja(text_id::problem_missing) + " (" +
             std::strerror(ENOENT) + ")\n" + format(ja(text_id::and_more), {"2"})},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((deep + "/pipe.vek").c_str(), 0600), 0);
    rows.push_back(
        {"a pipe", {deep + "/pipe.vek"}, deep + "/pipe.vek: " + ja(text_id::problem_not_regular)});
#endif
    int run = 0;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string name = "fine" + std::to_string(run++) + ".txt";
        const std::string good = encrypted(name, 40, first.get());
        session.panel().ClearFileList();
        list(r.bad);
        list({good});
        session.recorder->boxes.clear();

        EXPECT_EQ(session.panel().StartDecode(), 0);
        // The good file is decoded; the others stay listed, named in one box
        // after the run's own notices.
        EXPECT_EQ(test::read_file(out + kSep + name), plain_bytes[name]);
        std::vector<std::string> bad = r.bad;
        std::sort(bad.begin(), bad.end());
        EXPECT_EQ(session.doc().m_fileList.paths(), bad);
        const auto& boxes = session.recorder->boxes;
        ASSERT_EQ(boxes.size(), 3u);
        EXPECT_EQ(boxes[2].text.substr(0, boxes[2].text.find('\n')), ja(text_id::cannot_decode));
        EXPECT_TRUE(boxes[2].text.ends_with(r.names)) << boxes[2].text;
        EXPECT_EQ(boxes[2].text.find(good), std::string::npos) << boxes[2].text;
        EXPECT_EQ(boxes[2].caption, platform::notice(platform::kDecoderCaption));
        EXPECT_EQ(boxes[2].icon, platform::Icon::Exclamation);
        EXPECT_EQ(session.frame.last_status(),
                  format(ja(text_id::run_finished), {"1", std::to_string(r.bad.size())}));
    }
}

TEST_F(DecodePanelTest, DecodesTheListAndComesBackToRest) {
    std::vector<std::string> files;
    for (int i = 0; i < 120; ++i) {
        files.push_back(
            encrypted("file_" + std::to_string(1000 + i) + ".txt", 40 + 7 * i, first.get()));
    }
    ASSERT_GT(files.front().size(), 256u);
    list(files);
    EXPECT_EQ(session.panel().StartDecode(), 0);

    EXPECT_EQ(test::names_in(out).size(), files.size());
    for (const auto& [name, bytes] : plain_bytes) {
        EXPECT_EQ(test::read_file(out + kSep + name), bytes) << name;
    }
    EXPECT_EQ(texts(), (std::vector<std::string>{ja(text_id::decode_starts),
                                                 format(ja(text_id::output_goes_to), {out})}));
    EXPECT_NE(key_cache::key(), nullptr);
    // At rest again: the list empty, the bars at 0 after a full run, the
    // panel idle, the controls back, the status bar telling what happened.
    EXPECT_TRUE(session.doc().m_fileList.empty());
    EXPECT_TRUE(session.panel_pane->shown.empty());
    EXPECT_EQ(session.panel_pane->progress.back(), 0);
    EXPECT_EQ(session.panel_pane->progress.end()[-2], 100);
    EXPECT_EQ(session.tree_pane.status_progress, 0);
    EXPECT_EQ(session.panel_pane->running, (std::vector<bool>{true, false}));
    EXPECT_FALSE(session.tree_pane.running);
    EXPECT_TRUE(session.frame.commands_enabled);
    EXPECT_EQ(session.panel().GetPanelColor(), decode_panel::kIdleColour);
    EXPECT_EQ(session.doc().m_bDecoding, 0);
    EXPECT_EQ(session.doc().m_strOutDir, out);
    EXPECT_EQ(session.frame.status.front(), "Start!");
    EXPECT_EQ(session.frame.last_status(), format(ja(text_id::run_finished), {"120", "0"}));
    EXPECT_EQ(session.frame.announced.back(), session.frame.last_status());
}

TEST_F(DecodePanelTest, ReportsAndSkipsAFileTheKeyDoesNotOpen) {
    const std::string x1 = encrypted("x1.txt", 50, first.get());
    const std::string x2 = encrypted("x2.txt", 60, other.get());
    const std::string x3 = encrypted("x3.txt", 70, first.get());
    list({x1, x2, x3});
    EXPECT_EQ(session.panel().StartDecode(), 0);
    const auto boxes = texts();
    EXPECT_NE(
        std::find(boxes.begin(), boxes.end(), platform::notice(platform::kWrongKeyNotice, x2)),
        boxes.end());
    EXPECT_EQ(test::names_in(out), (std::vector<std::string>{"x1.txt", "x3.txt"}));
    EXPECT_TRUE(session.doc().m_fileList.empty());
    EXPECT_EQ(session.frame.last_status(), format(ja(text_id::run_finished), {"2", "1"}));
}

TEST_F(DecodePanelTest, StopsAfterTheCurrentFileAndKeepsTheRest) {
    struct row {
        const char* name;
        bool close;  // the window is closed rather than the run cancelled
    };
    for (const row& r : {row{"cancelled", false}, row{"window closed", true}}) {
        SCOPED_TRACE(r.name);
        const std::string c1 = encrypted(std::string("c1") + r.name + ".txt", 50, first.get());
        const std::string c2 = encrypted(std::string("c2") + r.name + ".txt", 60, other.get());
        const std::string c3 = encrypted(std::string("c3") + r.name + ".txt", 70, first.get());
        list({c1, c2, c3});
        const std::string run_out = dir / r.name;
        test::make_folder(run_out);
        session.panel_pane->out_dir = run_out;
        // The user stops the run at the wrong-key notice of the second file,
        // and tries to start another one there.
        int second = 0;
        session.recorder->on_box = [&](const platform::RecordingServices::Box& box) {
            if (box.text == platform::notice(platform::kWrongKeyNotice, c2)) {
                second = session.panel().StartDecode();
                r.close ? session.panel().CloseAfterRun() : session.panel().CancelDecode();
            }
        };
        EXPECT_EQ(session.panel().StartDecode(), 0);
        session.recorder->on_box = nullptr;

        EXPECT_EQ(second, -1);
        EXPECT_EQ(test::names_in(run_out),
                  std::vector<std::string>{std::string("c1") + r.name + ".txt"});
        EXPECT_EQ(session.doc().m_fileList.paths(), std::vector<std::string>{c3});
        EXPECT_EQ(session.panel_pane->shown, std::vector<std::string>{c3});
        const auto& status = session.frame.status;
        EXPECT_NE(std::find(status.begin(), status.end(), ja(text_id::cancelling)), status.end());
        const auto& said = session.frame.announced;
        EXPECT_NE(std::find(said.begin(), said.end(), ja(text_id::cancelling)), said.end());
        EXPECT_EQ(session.frame.last_status(), format(ja(text_id::run_cancelled), {"1", "1"}));
        EXPECT_EQ(session.frame.closed, r.close);
        EXPECT_EQ(session.doc().m_bDecoding, 0);
        session.panel().ClearFileList();
    }
}

TEST_F(DecodePanelTest, KeepsTheFirstKeyForTheWholeProcess) {
    list({encrypted("g.txt", 40, first.get())});
    ASSERT_EQ(session.panel().StartDecode(), 0);
    // Another key is chosen, and the first key file disappears.
    session.doc().m_strKeyPath = write_key(deep + kSep + "other.key", other.get());
    std::filesystem::remove(std::filesystem::path(std::u8string(key.begin(), key.end())));
    const std::string f = encrypted("f.txt", 40, first.get());
    const std::string o = encrypted("o.txt", 40, other.get());
    test::TempDir second;
    session.panel_pane->out_dir = second.path();
    list({f, o});
    ASSERT_EQ(session.panel().StartDecode(), 0);
    EXPECT_EQ(test::names_in(second.path()), std::vector<std::string>{"f.txt"});
}

TEST_F(DecodePanelTest, SaysNothingOfTheLastRunWhileTheNextOneAsks) {
    list({encrypted("s.txt", 40, first.get())});
    ASSERT_EQ(session.panel().StartDecode(), 0);
    ASSERT_EQ(session.frame.last_status(), format(ja(text_id::run_finished), {"1", "0"}));
    // The next request's notices do not stand beside the last summary.
    session.recorder->on_box = [&](const platform::RecordingServices::Box&) {
        EXPECT_EQ(session.frame.last_status(), "");
    };
    EXPECT_EQ(session.panel().StartDecode(), -1);
    session.recorder->on_box = nullptr;
    EXPECT_EQ(session.tree_pane.bars, 1);
}

using DecodePanelDeathTest = DecodePanelTest;

TEST_F(DecodePanelDeathTest, EndsWhenTheKeyCannotBeRead) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string short_key = deep + kSep + "short.key";
    test::write_file(short_key, std::string(100, 'k'));
    struct row {
        const char* name;
        std::string key_path;
        std::string message;  // a regular expression
    };
    const row rows[] = {
#ifdef _WIN32
        {"no key chosen", "", ja(text_id::restart)},
#else
        // The notices come in this order before the end.
        {"no key chosen", "", ja(text_id::decode_starts) + ".*出力は .*" + ja(text_id::restart)},
#endif
        {"key file gone", deep + kSep + "gone.key", "cannot be opened"},
        {"key file short", short_key, "too short"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        list({encrypted("k.txt", 40, first.get())});
        session.doc().m_strKeyPath = r.key_path;
        EXPECT_EXIT(session.panel().StartDecode(), testing::ExitedWithCode(1), r.message);
        EXPECT_TRUE(test::names_in(out).empty());
    }
}

TEST_F(DecodePanelTest, KeyDialogTakesOnlyAFileThatCanBeTheKey) {
    test::make_folder(dir / "keys");
    test::write_file(dir / "short.key", std::string(1055, 'k'));
    const std::string other_key = write_key(dir / "other.key", other.get());
    struct row {
        const char* name;
        std::vector<std::string> chosen;  // the dialog's answers, in turn; "" cancels
        std::string key;                  // the key afterwards
        std::vector<std::string> boxes;   // the starts of the boxes shown
        std::string status;
    };
    const std::string refused = ja(text_id::key_refused).substr(0, 30);
    std::vector<row> rows = {
        {"a key", {other_key}, other_key, {}, format(ja(text_id::key_set), {other_key})},
        // Typed into the dialog: a folder and a name that does not exist.
        {"a missing file, then cancel",
         {dir / "keys" + kSep + "keysexample.key", ""},
         key,
         {refused},
         format(ja(text_id::key_unchanged), {key})},
        {"a folder, then a key",
         {dir / "keys", other_key},
         other_key,
         {refused},
         format(ja(text_id::key_set), {other_key})},
        {"a file too short",
         {dir / "short.key", ""},
         key,
         {refused},
         format(ja(text_id::key_unchanged), {key})},
        {"cancelled", {""}, key, {}, format(ja(text_id::key_unchanged), {key})},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.key").c_str(), 0600), 0);
    rows.push_back({"a pipe",
                    {dir / "pipe.key", ""},
                    key,
                    {refused},
                    format(ja(text_id::key_unchanged), {key})});
#endif
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        session.doc().m_strKeyPath = key;
        session.recorder->boxes.clear();
        session.recorder->dialogs.clear();
        for (const std::string& answer : r.chosen) {
            session.recorder->setNextFile(answer);
        }
        session.panel().ChooseKeyFile();
        EXPECT_EQ(session.doc().m_strKeyPath, r.key);
        EXPECT_EQ(session.panel_pane->key_path, r.key);
        EXPECT_EQ(session.frame.last_status(), r.status);
        EXPECT_EQ(session.recorder->dialogs.size(), r.chosen.size());
        ASSERT_EQ(texts().size(), r.boxes.size());
        for (std::size_t i = 0; i < r.boxes.size(); ++i) {
            EXPECT_TRUE(texts()[i].starts_with(r.boxes[i])) << texts()[i];
        }
    }
    // The dialog is asked for the key file, and to check what is chosen.
    const platform::FileDialogRequest& request = session.recorder->dialogs.back();
    EXPECT_EQ(request.filter, "Vekキーファイル|*.key|すべて|*.*||");
    EXPECT_EQ(request.default_ext, "key");
    ASSERT_TRUE(request.check);
    EXPECT_EQ(request.check(other_key), "");
    EXPECT_NE(request.check(dir / "short.key").find(ja(text_id::problem_short_key)),
              std::string::npos);
    // With no key before, a cancelled dialog says that none was set.
    session.doc().m_strKeyPath.clear();
    session.panel().ChooseKeyFile();
    EXPECT_EQ(session.frame.last_status(), ja(text_id::key_not_set));
}

TEST_F(DecodePanelTest, DesktopFilesJoinTheListUnlessARunIsActive) {
    const std::string file = encrypted("d.txt", 40, first.get());
    struct row {
        const char* name;
        bool decoding;
        std::vector<std::string> given;
        std::size_t listed;
        std::string status;
    };
    const row rows[] = {
        {"files", false, {file}, 1, ""},
        {"something ignored",
         false,
         {file, dir / "gone", ""},
         1,
         format(ja(text_id::ignored_items), {"2"})},
        {"while a run is active", true, {file}, 0, ja(text_id::busy)},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        session.panel().ClearFileList();
        session.frame.status.clear();
        const int reveals = session.frame.reveals;
        session.doc().m_bDecoding = r.decoding ? 1 : 0;
        session.panel().AddLocalPaths(r.given);
        session.doc().m_bDecoding = 0;
        EXPECT_EQ(session.doc().m_fileList.size(), r.listed);
        EXPECT_EQ(session.frame.last_status(), r.status);
        EXPECT_EQ(session.frame.reveals, reveals + 1);
        // A screen reader hears how many were added (and ignored).
        if (!r.decoding) {
            EXPECT_EQ(session.frame.announced.back(),
                      format(ja(text_id::files_added), {std::to_string(r.listed)}) +
                          (r.status.empty() ? "" : " " + r.status));
        }
    }
}

#ifndef _WIN32
TEST_F(DecodePanelTest, OutputFolderStartsAtTheDesktopOrTheHomeFolder) {
    const std::string home = dir / "home";
    test::make_folder(home);
    struct row {
        const char* name;
        std::string home;
        bool desktop;  // home/Desktop exists
        int result;
        std::string folder;
        std::vector<std::string> boxes;
    };
    const row rows[] = {
        {"desktop folder", home, true, 0, home + "/Desktop", {}},
        {"no desktop folder", home, false, 0, home, {}},
        {"no home folder", home + "/none", false, -2, "", {"err : 2"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        const test::ScopedEnvironment environment(
            {{"HOME", r.home}, {"XDG_CONFIG_HOME", r.home + "/.config"}});
        std::filesystem::remove_all(home + "/Desktop");
        if (r.desktop) {
            test::make_folder(home + "/Desktop");
        }
        session.recorder->boxes.clear();
        session.panel_pane->out_dir = "before";
        std::string folder;
        EXPECT_EQ(session.panel().GetDesktopFolder(folder), r.result);
        session.panel().OnInitialUpdate();
        EXPECT_EQ(session.panel_pane->out_dir, r.folder);
        EXPECT_EQ(folder, r.result == 0 ? r.folder : "");
        std::vector<std::string> expected = r.boxes;
        expected.insert(expected.end(), r.boxes.begin(), r.boxes.end());
        EXPECT_EQ(texts(), expected);
    }
}

TEST_F(DecodePanelTest, OutputFolderFromTheTreeKeepsItsBytes) {
    const std::string raw = dir / "out\xff";
    test::make_folder(raw);
    session.doc().m_strSelectedPath = raw;
    session.panel().SetOutDirFromSelection();
    EXPECT_EQ(session.panel_pane->out_dir, dir / "out\\xff");
    list({encrypted("r.txt", 40, first.get())});
    ASSERT_EQ(session.panel().StartDecode(), 0);
    EXPECT_EQ(test::names_in(raw), std::vector<std::string>{"r.txt"});
    EXPECT_EQ(texts().back(), format(ja(text_id::output_goes_to), {dir / "out\\xff"}));
}
#endif

}  // namespace
}  // namespace vekdc::desktop
