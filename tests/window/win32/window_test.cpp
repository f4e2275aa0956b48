// vekdc.exe's window under wine (or on Windows): made as the program makes
// it, driven through its messages (WM_COMMAND, TVM_*, LB_*, WM_DROPFILES, its
// keys through its message loop), with the real boxes and dialogs answered as
// they show.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "desktop/file_list.h"
#include "desktop/texts.h"
#include "platform/folders.h"
#include "platform/launch.h"
#include "platform/win32/registry.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_thread_services.h"
#include "tests/support/test_support.h"
#include "tests/window/win32/window_support.h"
#include "vekdc/version.h"
#include "window/win32/version_dialog.h"

namespace vekdc::test {
namespace {

using desktop::decode_pane;
using desktop::frame_window;
using platform::win32::narrow;
using platform::win32::widen;

constexpr const char* kExamples[] = {"letter.vek", "notes.vek", "picture.vek"};
constexpr const char* kPlain[] = {"letter.doc", "notes.txt", "picture.jpg"};

std::wstring catalogue_text(desktop::text_id id) {
    return widen(desktop::text(id));
}

// The list's label of a file: its name, then its folder.
std::wstring label_of(const std::string& path) {
    desktop::list_entry entry;
    entry.shown = path;
    return widen(desktop::file_list::label(entry));
}

std::vector<std::wstring> labels_in(const std::string& folder,
                                    const std::vector<std::string>& names) {
    std::vector<std::wstring> labels;
    for (const std::string& name : names) {
        labels.push_back(label_of(folder + "\\" + name));
    }
    return labels;
}

// The examples copied into `folder` under other names (in the same order).
void copy_examples(const std::string& folder, const std::vector<std::string>& names) {
    make_folder(folder);
    for (std::size_t i = 0; i < names.size(); ++i) {
        write_file(folder + "\\" + names[i],
                   read_file(examples_folder() + "\\" + kExamples[i % std::size(kExamples)]));
    }
}

// The names in a folder, sorted. (The C++ library's folder listing is cut
// at 260 characters with this compiler: the platform's own lists any path.)
std::vector<std::string> listed(const std::string& folder) {
    std::vector<std::string> names;
    for (const platform::FolderEntry& entry :
         platform::list_folder(folder).value_or(std::vector<platform::FolderEntry>{})) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool shown(HWND window) {
    return ::IsWindowVisible(window) != 0;
}

// Whether every control's text shows whole, and no two controls overlap.
void expect_whole_and_apart(HWND surface) {
    std::vector<std::pair<HWND, RECT>> controls;
    for (HWND child = ::GetWindow(surface, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        ::GetWindowRect(child, &place);
        if (!shown(child) || place.right <= place.left) {
            continue;
        }
        const std::wstring words = control_text(child);
        wchar_t kind[32] = {};
        ::GetClassNameW(child, kind, 32);
        if (!words.empty() &&
            (::lstrcmpiW(kind, L"Button") == 0 || ::lstrcmpiW(kind, L"Static") == 0)) {
            const HDC dc = ::GetDC(child);
            const HGDIOBJ previous = ::SelectObject(
                dc, reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)));
            SIZE extent{};
            ::GetTextExtentPoint32W(dc, words.c_str(), static_cast<int>(words.size()), &extent);
            ::SelectObject(dc, previous);
            ::ReleaseDC(child, dc);
            RECT client{};
            ::GetClientRect(child, &client);
            EXPECT_LE(extent.cx, client.right) << narrow(words);
            EXPECT_LE(extent.cy, client.bottom) << narrow(words);
        }
        for (const auto& [other, otherPlace] : controls) {
            RECT both{};
            EXPECT_FALSE(::IntersectRect(&both, &place, &otherPlace))
                << narrow(words) << " overlaps " << narrow(control_text(other));
        }
        controls.emplace_back(child, place);
    }
}

// ---- start

TEST(Start, TheKeyDialogComesBeforeTheWindowAndItsOutcomeShows) {
    const std::string missing = examples_folder() + "\\missing.key";
    const struct {
        const char* name;
        std::string typed;          // into the key dialog
        std::string key;            // the key set
        std::vector<bool> dialogs;  // the boxes shown, in order: a file dialog or not
        std::wstring status;
    } rows[] = {
        {"key chosen",
         example_key(),
         example_key(),
         {true},
         widen(desktop::format(desktop::text_id::key_set, {example_key()}))},
        // Refused with a box, asked again, then cancelled: no key.
        {"a file that is not there",
         missing,
         "",
         {true, false, true},
         catalogue_text(desktop::text_id::key_not_set)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession::Options options;
        options.key = row.typed;
        WindowSession session(options);
        ASSERT_TRUE(session.started());
        std::vector<bool> dialogs;
        for (const ShownBox& box : session.boxes) {
            dialogs.push_back(box.file_dialog);
        }
        EXPECT_EQ(dialogs, row.dialogs);
        EXPECT_EQ(control_text(session.item(decode_pane::IDC_KEY_PATH)), widen(row.key));
        EXPECT_EQ(session.doc().m_strKeyPath, row.key);
        EXPECT_EQ(session.status(), row.status);
        // The window shows the tree across its width; the panel waits hidden.
        EXPECT_TRUE(shown(session.frame().GetSafeHwnd()));
        EXPECT_FALSE(session.frame().IsDecodePanelShown());
        EXPECT_EQ(::GetFocus(), session.tree().GetSafeHwnd());
        // The focus shows from the start, not only once a key was pressed.
        EXPECT_EQ(
            ::SendMessageW(session.frame().GetSafeHwnd(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS,
            0);
        EXPECT_GT(::SendMessageW(session.tree().GetSafeHwnd(), TVM_GETCOUNT, 0, 0), 0);
        // The output folder starts at the user's desktop.
        EXPECT_FALSE(control_text(session.item(decode_pane::IDC_OUT_DIR)).empty());
    }
}

// ---- settings

// What the settings hold (colour values read as numbers, the defaults written
// back, the recent-file list) is the desktop core's; here, that the window
// keeps it in the registry and reads it back at the next start.
TEST(Settings, LandInTheRegistryAndComeBackAtTheNextStart) {
    const TempDir folder;
    const std::string document = folder / "文書.txt";
    write_file(document, "x");
    const TestSettingsKey settings;
    settings.write("CLeftView", "PaneColorLBack", "00ff0000");
    WindowSession::Options options;
    options.settings = &settings;
    {
        WindowSession first(options);
        ASSERT_TRUE(first.started());
        EXPECT_EQ(::SendMessageW(first.tree().GetSafeHwnd(), TVM_GETBKCOLOR, 0, 0), 0x00FF0000);
        first.answers.push_back(choose_file(document));
        ::SendMessageW(first.frame().GetSafeHwnd(), WM_COMMAND, frame_window::ID_FILE_OPEN, 0);
        EXPECT_EQ(control_text(first.frame().GetSafeHwnd()), L"文書.txt - VekDC");
    }
    EXPECT_EQ(settings.read("VekDCDoc", "HomeDir"), "xxx");
    EXPECT_EQ(settings.read("CLeftView", "PaneColorLText"), "00000000");
    WindowSession next(options);
    EXPECT_EQ(::SendMessageW(next.tree().GetSafeHwnd(), TVM_GETBKCOLOR, 0, 0), 0x00FF0000);
    EXPECT_EQ(next.app().GetRecentFileList(), std::vector<std::string>{document});
}

// ---- the input list

TEST(InputList, FilesJoinTheListByEveryRoad) {
    const std::string examples = examples_folder();
    const std::vector<std::wstring> all =
        labels_in(examples, {std::begin(kExamples), std::end(kExamples)});
    const struct {
        const char* name;
        std::function<void(WindowSession&)> add;
        std::vector<std::wstring> listed;
    } rows[] = {
        {"Space on each file in the tree",
         [&](WindowSession& s) {
             for (const char* name : kExamples) {
                 s.select(s.expand_to(examples + "\\" + name));
                 s.key(s.tree().GetSafeHwnd(), VK_SPACE);
             }
         },
         all},
        {"→リストに追加 with a file selected",
         [&](WindowSession& s) {
             s.frame().RevealDecodePanel();
             s.select(s.expand_to(examples + "\\notes.vek"));
             s.click(decode_pane::IDC_ADD_TO_LIST);
             s.click(decode_pane::IDC_ADD_TO_LIST);  // once only
         },
         labels_in(examples, {"notes.vek"})},
        {"files dropped, one of them missing",
         [&](WindowSession& s) {
             drop_files(s.frame().GetSafeHwnd(),
                        {examples + "\\picture.vek", examples + "\\missing.vek"});
             EXPECT_EQ(s.status(), widen(desktop::format(desktop::text_id::ignored_items, {"1"})));
         },
         labels_in(examples, {"picture.vek"})},
        // A folder dropped lists its files; Delete takes the selected one out.
        {"a folder dropped, then Delete on an entry",
         [&](WindowSession& s) {
             drop_files(s.frame().GetSafeHwnd(), {examples});
             const HWND list = s.item(decode_pane::IDC_FILE_LIST);
             ::SendMessageW(list, LB_SETSEL, TRUE, 1);
             s.key(list, VK_DELETE);
         },
         labels_in(examples, {"letter.vek", "picture.vek"})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession session;
        row.add(session);
        EXPECT_EQ(session.list_entries(), row.listed);
    }
}

// ---- decoding

TEST(Decode, WritesTheExamplesByteForByteAsOnLinux) {
    const TempDir root;
    std::string deep = root.path();
    while (deep.size() < 300) {
        deep += "\\a_folder_name_long_enough_to_pass_the_classic_limit";
    }
    const struct {
        const char* name;
        std::string input;
        std::vector<std::string> names;  // the examples' new names, in their order
        std::vector<std::string> out;    // the plain files the decode writes
    } rows[] = {
        {"the examples",
         root / "plain",
         {"letter.vek", "notes.vek", "picture.vek"},
         {kPlain[0], kPlain[1], kPlain[2]}},
        {"names in any script",
         root / "入力 файлы",
         {"手紙.vek", "заметки.vek", "写真 ñ.vek"},
         {"手紙.doc", "заметки.txt", "写真 ñ.jpg"}},
        {"a path past 260 characters",
         deep,
         {"letter.vek", "notes.vek", "picture.vek"},
         {kPlain[0], kPlain[1], kPlain[2]}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        copy_examples(row.input, row.names);
        const std::string out = row.input + "\\out";
        make_folder(out);
        WindowSession session;
        drop_files(session.frame().GetSafeHwnd(), {row.input});
        ASSERT_EQ(session.list_entries().size(), 3u);
        session.set_output_folder(out);
        const std::size_t before = session.boxes.size();
        session.click(decode_pane::IDC_DECODE);

        for (std::size_t i = 0; i < row.out.size(); ++i) {
            EXPECT_EQ(read_file(out + "\\" + row.out[i]),
                      read_file(examples_folder() + "\\plain\\" + kPlain[i]))
                << row.out[i];
        }
        std::vector<std::string> expected = row.out;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed(out), expected);
        // Told where the output goes, before the run.
        ASSERT_EQ(session.boxes.size(), before + 2);
        EXPECT_EQ(session.boxes[before].text, catalogue_text(desktop::text_id::decode_starts));
        EXPECT_EQ(session.boxes[before + 1].caption, widen(platform::kDecoderCaption));
        // The picture opens in the browser; the list empties; both bars at 0.
        EXPECT_EQ(session.services.started.size(), 1u);
        EXPECT_TRUE(session.list_entries().empty());
        EXPECT_EQ(session.status(),
                  widen(desktop::format(desktop::text_id::run_finished, {"3", "0"})));
        EXPECT_EQ(::SendMessageW(session.item(decode_pane::IDC_PROGRESS), PBM_GETPOS, 0, 0), 0);
        EXPECT_FALSE(shown(session.frame().GetStatusBar().Progress()));
    }
}

// Three files listed in this order: a good one, one the key does not open,
// a good one; the run is started with F5 and, at the wrong-key notice of the
// second file, `interrupt` does what the user does while it is active.
struct InterruptedRun {
    TempDir root;
    std::string input = root / "in";
    std::string out = root / "out";
    struct {
        bool seen = false, decoding = false, cancel_shown = false, tree_off = false,
             bar_shown = false;
    } during;

    explicit InterruptedRun(WindowSession& session) {
        make_folder(input);
        write_file(input + "\\a_letter.vek", read_file(examples_folder() + "\\letter.vek"));
        write_file(input + "\\b_other.vek",
                   read_file(build_path(VEKDC_TEST_DATA) + "\\sibling.vek"));
        write_file(input + "\\c_notes.vek", read_file(examples_folder() + "\\notes.vek"));
        make_folder(out);
        drop_files(session.frame().GetSafeHwnd(), {input});
        session.set_output_folder(out);
    }

    void run(WindowSession& session, const std::function<void()>& interrupt) {
        session.answers = {press_button(IDOK), press_button(IDOK), [&](HWND box) {
                               during.seen = true;
                               during.decoding = session.doc().m_bDecoding == 1;
                               during.cancel_shown = shown(session.item(decode_pane::IDC_CANCEL)) &&
                                                     !shown(session.item(decode_pane::IDC_DECODE));
                               during.tree_off =
                                   ::IsWindowEnabled(session.tree().GetSafeHwnd()) == 0;
                               during.bar_shown = shown(session.frame().GetStatusBar().Progress());
                               interrupt();
                               press(box, IDOK);
                           }};
        session.key(session.tree().GetSafeHwnd(), VK_F5);
        EXPECT_TRUE(during.seen);
        // The first file whole, nothing of the others, no temporary left.
        EXPECT_EQ(listed(out), std::vector<std::string>{"a_letter.doc"});
        EXPECT_EQ(read_file(out + "\\a_letter.doc"),
                  read_file(examples_folder() + "\\plain\\letter.doc"));
    }
};

TEST(Decode, CancelLeavesOnlyWholeFilesAndTheRestListed) {
    const struct {
        const char* name;
        bool panel_shown;
        // What the user does while the run is active.
        std::function<void(WindowSession&)> cancel;
    } rows[] = {
        {"中止", true, [](WindowSession& s) { s.click(decode_pane::IDC_CANCEL); }},
        {"Esc on 中止", true,
         [](WindowSession& s) { s.key(s.item(decode_pane::IDC_CANCEL), VK_ESCAPE); }},
        {"Esc with the panel hidden", false,
         [](WindowSession& s) { s.key(s.frame().GetSafeHwnd(), VK_ESCAPE); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession session;
        InterruptedRun scene(session);
        if (!row.panel_shown) {
            session.frame().SetTreeWidth(session.frame().SplitterWidth());
        }
        ASSERT_EQ(session.frame().IsDecodePanelShown(), row.panel_shown);
        scene.run(session, [&] { row.cancel(session); });

        EXPECT_TRUE(scene.during.decoding);
        EXPECT_EQ(scene.during.cancel_shown, row.panel_shown);
        EXPECT_TRUE(scene.during.tree_off);
        EXPECT_TRUE(scene.during.bar_shown);
        // What the run did not reach stays listed, to be resumed.
        EXPECT_EQ(session.list_entries(), labels_in(scene.input, {"c_notes.vek"}));
        EXPECT_EQ(session.status(),
                  widen(desktop::format(desktop::text_id::run_cancelled, {"1", "1"})));
        EXPECT_EQ(::GetFocus(), session.tree().GetSafeHwnd());
    }
}

TEST(Decode, ClosingTheWindowDuringARunCancelsItAndClosesOnceItStopped) {
    WindowSession session;
    InterruptedRun scene(session);
    const HWND frame = session.frame().GetSafeHwnd();
    bool open_during = false;
    scene.run(session, [&] {
        ::SendMessageW(frame, WM_CLOSE, 0, 0);
        open_during = ::IsWindow(frame) != 0;
    });
    EXPECT_TRUE(open_during);
    // The window closes once the run has stopped, and the program ends with it.
    MSG message;
    bool quit = false;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        quit = quit || message.message == WM_QUIT;
        ::DispatchMessageW(&message);
    }
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_TRUE(quit);
}

// ---- keyboard

TEST(Keyboard, KeysFromTheStartReachWhatTheyNameAndNoHiddenControl) {
    const UINT kF6 = VK_F6;
    const struct {
        const char* name;
        std::vector<UINT> keys;  // pressed where the focus is, one after another
        int focus;               // a panel control, or 0 for the tree
        std::size_t boxes;       // message boxes shown
    } rows[] = {
        {"F6 with the panel hidden stays in the tree", {kF6}, 0, 0},
        {"F2 then F6 enters the panel at its first button",
         {VK_F2, kF6},
         decode_pane::IDC_SET_OUT_DIR,
         0},
        {"F6 again goes back to the tree", {VK_F2, kF6, kF6}, 0, 0},
        {"Tab moves in the panel's order", {VK_F2, kF6, VK_TAB}, decode_pane::IDC_DELETE_ITEMS, 0},
        {"Return presses ！デコード実行", {VK_F2, kF6, VK_RETURN}, decode_pane::IDC_SET_OUT_DIR, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession session;
        const std::wstring outDir = control_text(session.item(decode_pane::IDC_OUT_DIR));
        const std::size_t before = session.boxes.size();
        for (const UINT key : row.keys) {
            session.key(::GetFocus(), key);
        }
        const HWND expected =
            row.focus == 0 ? session.tree().GetSafeHwnd() : session.item(row.focus);
        EXPECT_EQ(::GetFocus(), expected);
        EXPECT_EQ(session.boxes.size(), before + row.boxes);
        if (row.boxes > 0) {
            EXPECT_EQ(session.boxes.back().text, catalogue_text(desktop::text_id::empty_list));
        }
        EXPECT_TRUE(session.list_entries().empty());
        EXPECT_EQ(control_text(session.item(decode_pane::IDC_OUT_DIR)), outDir);
    }
}

// What a right double-click on the selected label does is the core's; here,
// where on the tree it counts as on the label.
TEST(Tree, ARightDoubleClickCountsOnlyOnTheSelectedLabel) {
    const std::string folder = examples_folder();
    const std::wstring question =
        widen(desktop::format(desktop::text_id::decode_folder_question, {folder}));
    const struct {
        const char* name;
        POINT (*at)(const RECT& label);
        bool asked;  // the folder's question shows (answered No: nothing listed)
    } rows[] = {
        {"on the label",
         [](const RECT& l) {
             return POINT{l.left + 2, l.top + 2};
         },
         true},
        {"on its right and bottom edges",
         [](const RECT& l) {
             return POINT{l.right, l.bottom};
         },
         true},
        {"left of the label",
         [](const RECT& l) {
             return POINT{l.left - 3, l.top + 2};
         },
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession session;
        const HTREEITEM item = session.expand_to(folder);
        session.select(item);
        const POINT at = row.at(session.tree().GetItemTextRect(item));
        const std::size_t before = session.boxes.size();
        ::SendMessageW(session.tree().GetSafeHwnd(), WM_RBUTTONDBLCLK, 0, MAKELPARAM(at.x, at.y));
        ASSERT_EQ(session.boxes.size(), before + (row.asked ? 1 : 0));
        if (row.asked) {
            EXPECT_EQ(session.boxes.back().text, question);
        }
        EXPECT_TRUE(session.list_entries().empty());
    }
}

TEST(Splitter, TheBarMovesTheTreesEdgeAndHidesAPaneWithoutRoom) {
    WindowSession session;
    win32::CMainFrame& frame = session.frame();
    const HWND window = frame.GetSafeHwnd();
    auto drag = [&](int from, int to) {
        const int y = 10;
        ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, y));
        ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to, y));
        ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(to, y));
    };
    const int total = frame.SplitterWidth();
    const struct {
        const char* name;
        int to;  // where the bar's left edge is dragged
        bool panel;
    } rows[] = {
        {"out of the right edge", total / 3, true},
        {"further left", total / 4, true},
        {"back to the right edge", total, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        drag(frame.TreeWidth() + 1, row.to + 1);
        EXPECT_EQ(frame.IsDecodePanelShown(), row.panel);
        if (row.panel) {
            EXPECT_EQ(frame.TreeWidth(), row.to);
        } else {
            EXPECT_GE(frame.TreeWidth(), total - 16);  // all but the bar
        }
    }
    // A click beside the bar moves nothing.
    const int width = frame.TreeWidth();
    drag(width / 2, width / 4);
    EXPECT_EQ(frame.TreeWidth(), width);
}

TEST(Dpi, ANewDpiLaysTheWindowOutAgainInTheSuggestedPlace) {
    WindowSession session;
    win32::CMainFrame& frame = session.frame();
    const UINT before = frame.Dpi();
    const SIZE form = session.panel().FormSize();
    RECT suggested{10, 20, 1210, 920};
    ::SendMessageW(frame.GetSafeHwnd(), WM_DPICHANGED, MAKEWPARAM(before * 3 / 2, before * 3 / 2),
                   reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    ::GetWindowRect(frame.GetSafeHwnd(), &now);
    EXPECT_TRUE(::EqualRect(&now, &suggested));
    EXPECT_EQ(frame.Dpi(), before * 3 / 2);
    // The form grows with the message font of the new DPI; the tree's pictures too.
    EXPECT_NEAR(session.panel().FormSize().cx, form.cx * 3 / 2, form.cx / 10);
    EXPECT_NEAR(session.panel().FormSize().cy, form.cy * 3 / 2, form.cy / 10);
    int icon = 0;
    ::ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(::SendMessageW(
                                session.tree().GetSafeHwnd(), TVM_GETIMAGELIST, TVSIL_NORMAL, 0)),
                            &icon, &icon);
    EXPECT_EQ(icon, 24);
    frame.RevealDecodePanel();
    expect_whole_and_apart(session.panel().Form());
}

TEST(StatusBar, EachLightShowsItsTextOnlyWhileItsLockIsOn) {
    const struct {
        UINT key;
        int pane;
        desktop::text_id lit;
    } rows[] = {
        {VK_KANA, 1, desktop::text_id::indicator_kana},
        {VK_CAPITAL, 2, desktop::text_id::indicator_caps},
        {VK_NUMLOCK, 3, desktop::text_id::indicator_num},
        {VK_SCROLL, 4, desktop::text_id::indicator_scroll},
    };
    WindowSession session;
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    const std::vector<BYTE> saved(std::begin(keys), std::end(keys));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pane);
        for (const bool on : {true, false}) {
            keys[row.key] = on ? 1 : 0;
            ::SetKeyboardState(keys);
            // Any key the window takes brings the lights up to date.
            session.key(session.tree().GetSafeHwnd(), VK_SHIFT);
            EXPECT_EQ(session.frame().GetStatusBar().GetPaneText(row.pane),
                      on ? catalogue_text(row.lit) : L"");
        }
    }
    std::copy(saved.begin(), saved.end(), keys);
    ::SetKeyboardState(keys);
}

// The name a screen reader reads for a window (Active Accessibility).
std::wstring accessible_name(HWND window) {
    using ObjectFromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    static const auto object_from_window =
        reinterpret_cast<ObjectFromWindow>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    IAccessible* object = nullptr;
    if (object_from_window == nullptr ||
        FAILED(object_from_window(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                  reinterpret_cast<void**>(&object)))) {
        return L"(none)";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result = L"(no name)";
    if (SUCCEEDED(object->get_accName(self, &name)) && name != nullptr) {
        result = name;
        ::SysFreeString(name);
    }
    object->Release();
    return result;
}

// The label Active Accessibility names a control without a text of its own
// by: the static text before it in the tab order, looked for backwards up to
// a control that starts a group of tab stops.
std::wstring label_before(HWND control) {
    for (HWND previous = ::GetWindow(control, GW_HWNDPREV); previous != nullptr;
         previous = ::GetWindow(previous, GW_HWNDPREV)) {
        wchar_t kind[16] = {};
        ::GetClassNameW(previous, kind, 16);
        if (::lstrcmpiW(kind, L"Static") == 0) {
            return control_text(previous);
        }
        const LONG style = ::GetWindowLongW(previous, GWL_STYLE);
        if ((style & (WS_GROUP | WS_TABSTOP)) == (WS_GROUP | WS_TABSTOP)) {
            break;
        }
    }
    return L"(no label)";
}

TEST(Access, EveryControlHasTheNameAScreenReaderReads) {
    WindowSession session;
    session.frame().RevealDecodePanel();
    const struct {
        const char* name;
        HWND control;
        desktop::text_id expected;
        bool labelled;    // named by a label, not by its own text
        bool wine_reads;  // wine's Active Accessibility reads this kind of control's name
    } rows[] = {
        {"tree", session.tree().GetSafeHwnd(), desktop::text_id::tree_name, true, false},
        {"list", session.item(decode_pane::IDC_FILE_LIST), desktop::text_id::list_label, true,
         false},
        {"output folder", session.item(decode_pane::IDC_OUT_DIR), desktop::text_id::out_dir_name,
         true, true},
        {"key", session.item(decode_pane::IDC_KEY_PATH), desktop::text_id::key_path_name, true,
         true},
        {"progress", session.item(decode_pane::IDC_PROGRESS), desktop::text_id::progress_name, true,
         false},
        {"decode button", session.item(decode_pane::IDC_DECODE), desktop::text_id::decode_button,
         false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring expected = catalogue_text(row.expected);
        EXPECT_EQ(row.labelled ? label_before(row.control) : control_text(row.control), expected);
        if (row.wine_reads || !under_wine()) {
            EXPECT_EQ(accessible_name(row.control), expected);
        }
    }
}

TEST(Access, EachButtonsTipSaysWhatItDoesAndItsKey) {
    WindowSession session;
    const HWND form = session.panel().Form();
    for (const desktop::dialog_item& item : desktop::decode_form().items) {
        if (!item.tip) {
            continue;
        }
        SCOPED_TRACE(std::string(desktop::text_name(*item.tip)));
        std::wstring text(256, L'\0');
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = form;
        tool.uId = reinterpret_cast<UINT_PTR>(session.item(item.id));
        tool.lpszText = text.data();
        ::SendMessageW(session.panel().GetToolTips(), TTM_GETTEXTW, text.size(),
                       reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(text.c_str()), catalogue_text(*item.tip));
    }
}

// The texts of the live region each time it changed, as a screen reader hears them.
class LiveRegionListener {
public:
    LiveRegionListener()
        : hook_(::SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED,
                                  nullptr, heard, ::GetCurrentProcessId(), 0,
                                  WINEVENT_OUTOFCONTEXT)) {
        listener_ = this;
    }
    ~LiveRegionListener() {
        ::UnhookWinEvent(hook_);
        listener_ = nullptr;
    }
    LiveRegionListener(const LiveRegionListener&) = delete;
    LiveRegionListener& operator=(const LiveRegionListener&) = delete;
    // What was said since the last call (the events come with this thread's messages).
    std::vector<std::wstring> take() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            ::DispatchMessageW(&message);
        }
        return std::exchange(said_, {});
    }

private:
    static void CALLBACK heard(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
        if (listener_ != nullptr) {
            listener_->said_.push_back(control_text(window));
        }
    }
    static inline LiveRegionListener* listener_ = nullptr;
    HWINEVENTHOOK hook_;
    std::vector<std::wstring> said_;
};

// What is said when is the core's; here, that it reaches a screen reader, from
// the window's own thread and at the end of a run.
TEST(Access, AScreenReaderHearsWhatHappened) {
    const std::string examples = examples_folder();
    const struct {
        const char* name;
        std::function<void(WindowSession&)> act;
        std::wstring said;
    } rows[] = {
        {"files dropped",
         [&](WindowSession& s) { drop_files(s.frame().GetSafeHwnd(), {examples}); },
         widen(desktop::format(desktop::text_id::files_added, {"3"}))},
        {"a run's end",
         [&](WindowSession& s) {
             const TempDir out;
             drop_files(s.frame().GetSafeHwnd(), {examples + "\\letter.vek"});
             s.set_output_folder(out.path());
             s.click(decode_pane::IDC_DECODE);
         },
         widen(desktop::format(desktop::text_id::run_finished, {"1", "0"}))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession session;
        LiveRegionListener listener;
        row.act(session);
        const std::vector<std::wstring> said = listener.take();
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back(), row.said);
    }
}

TEST(Menu, TheHelpMenuListsTheKeysAndOpensTheVersionDialog) {
    WindowSession session;
    const HMENU help = ::GetSubMenu(::GetMenu(session.frame().GetSafeHwnd()), 0);
    ASSERT_EQ(::GetMenuItemCount(help), 2);
    const struct {
        desktop::text_id item;
        std::wstring caption;  // of what the item opens
    } rows[] = {
        {desktop::text_id::keys_item, catalogue_text(desktop::text_id::keys_title)},
        {desktop::text_id::about_item, catalogue_text(desktop::text_id::version_title)},
    };
    for (int i = 0; i < 2; ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(narrow(row.caption));
        wchar_t label[128] = {};
        ::GetMenuStringW(help, static_cast<UINT>(i), label, 128, MF_BYPOSITION);
        EXPECT_EQ(std::wstring(label), catalogue_text(row.item));
        const std::size_t before = session.boxes.size();
        session.answers.push_back(press_button(IDCANCEL));
        ::SendMessageW(session.frame().GetSafeHwnd(), WM_COMMAND, ::GetMenuItemID(help, i), 0);
        ASSERT_EQ(session.boxes.size(), before + 1);
        EXPECT_EQ(session.boxes.back().caption, row.caption);
    }
    EXPECT_EQ(session.boxes[session.boxes.size() - 2].text,
              catalogue_text(desktop::text_id::keys_help));
}

// ---- the version dialog

TEST(VersionDialog, ShowsTheProgramAndClosesWithReturnOrEsc) {
    const struct {
        const char* name;
        UINT key;
        INT_PTR result;
    } rows[] = {{"Return", VK_RETURN, IDOK}, {"Esc", VK_ESCAPE, IDCANCEL}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WindowSession session;
        struct {
            std::wstring caption, version, notice, web;
            bool ok_hidden = false, stays_open = false;
        } seen;
        HWND dialog = nullptr;
        session.answers.push_back([&](HWND box) {
            dialog = box;
            seen.caption = control_text(box);
            const HWND ok = ::GetDlgItem(box, win32::CVersionDlg::IDC_OK);
            seen.ok_hidden = !shown(ok) && ::IsWindowEnabled(ok) == 0;
            const HWND web = ::GetDlgItem(box, win32::CVersionDlg::IDC_WEB_PAGE);
            seen.web = control_text(web);
            HWND statics = ::FindWindowExW(box, nullptr, L"Static", nullptr);
            statics = ::FindWindowExW(box, statics, L"Static", nullptr);  // after the icon
            seen.version = control_text(statics);
            seen.notice = control_text(::FindWindowExW(box, statics, L"Static", nullptr));
            ::SendMessageW(box, WM_COMMAND,
                           MAKEWPARAM(win32::CVersionDlg::IDC_WEB_PAGE, BN_CLICKED),
                           reinterpret_cast<LPARAM>(web));
            seen.stays_open = ::IsWindow(box) != 0;
            // The key as the dialog's own loop takes it, on the focused web button.
            ::PostMessageW(::GetFocus(), WM_KEYDOWN, row.key, 1);
        });
        win32::CVersionDlg version(session.frame().GetSafeHwnd());
        EXPECT_EQ(version.DoModal(), row.result);
        EXPECT_EQ(seen.caption, catalogue_text(desktop::text_id::version_title));
        EXPECT_EQ(seen.version, L"VEK DECODER Version " VEKDC_VERSION);
        EXPECT_EQ(seen.notice, widen(desktop::kMakerNotice));
        EXPECT_EQ(seen.web, widen(desktop::kMakerAddress));
        EXPECT_TRUE(seen.ok_hidden);
        EXPECT_TRUE(seen.stays_open);
        // The button started the browser once; the key did not press it again.
        EXPECT_EQ(session.services.started,
                  std::vector<std::string>{std::string(platform::kBrowserProgram) + " " +
                                           desktop::kMakerAddress});
    }
}

// ---- layout

TEST(Layout, EveryTextShowsWholeAndNoControlsOverlap) {
    for (const char* language : {"ja", "en"}) {
        SCOPED_TRACE(language);
        const ScopedEnvironment environment({{"LANGUAGE", std::string(language)}});
        WindowSession session;
        session.frame().RevealDecodePanel();
        // The first window shows the whole form beside the narrowed tree.
        RECT panel{};
        ::GetClientRect(session.panel().GetSafeHwnd(), &panel);
        EXPECT_GE(panel.right, session.panel().FormSize().cx);
        EXPECT_GE(panel.bottom, session.panel().FormSize().cy);
        EXPECT_EQ(control_text(session.item(decode_pane::IDC_DECODE)),
                  catalogue_text(desktop::text_id::decode_button));
        expect_whole_and_apart(session.panel().Form());

        session.answers.push_back([](HWND box) {
            expect_whole_and_apart(box);
            press(box, IDCANCEL);
        });
        ::SendMessageW(session.frame().GetSafeHwnd(), WM_COMMAND, frame_window::ID_APP_ABOUT, 0);
    }
}

// ---- the program

// Takes this thread's messages until `condition` holds; false if it does
// not within a minute. (A program started meanwhile may send messages to a
// window of this thread.)
bool wait_until(const std::function<bool()>& condition) {
    const ULONGLONG give_up = ::GetTickCount64() + 60000;
    while (!condition()) {
        if (::GetTickCount64() > give_up) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            ::DispatchMessageW(&message);
        }
    }
    return true;
}

TEST(Program, ALaterStartWithAddGivesItsFilesToTheRunningWindow) {
    WindowSession session;
    const std::size_t before = session.boxes.size();
    const std::string file = examples_folder() + "\\notes.vek";
    ChildProcess later({build_path(VEKDC_WINDOW_EXE), "--add", file});
    EXPECT_TRUE(wait_until([&] { return later.ended(); }));
    EXPECT_EQ(later.wait(), 0);
    EXPECT_EQ(session.list_entries(), labels_in(examples_folder(), {"notes.vek"}));
    EXPECT_TRUE(session.frame().IsDecodePanelShown());
    // No key dialog of a second program.
    EXPECT_EQ(session.boxes.size(), before);
}

// A shown top-level window of a process with this class; nullptr for none.
HWND window_of(DWORD process, const std::wstring& window_class) {
    struct Search {
        DWORD process;
        std::wstring window_class;
        HWND found = nullptr;
    } search{process, window_class};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (owner == s.process && s.window_class == name && ::IsWindowVisible(window) != 0) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(Program, StartsListsTheFilesItIsGivenAndKeepsItsSettingsInTheRegistry) {
    const platform::win32::RegistrySettings settings(desktop::kSettingsCompany,
                                                     desktop::kSettingsApplication);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, (settings.key() + L"\\VekDCDoc").c_str(), L"HomeDir");
    const std::string file = examples_folder() + "\\letter.vek";
    std::wstring line = platform::win32::quote_argument(widen(build_path(VEKDC_WINDOW_EXE))) +
                        L" --add " + platform::win32::quote_argument(widen(file));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_NE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process),
              0);
    // The key dialog first; cancelled, the window comes with the file listed.
    HWND dialog = nullptr;
    EXPECT_TRUE(wait_until([&] { return (dialog = window_of(process.dwProcessId, L"#32770")); }));
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    HWND frame = nullptr;
    EXPECT_TRUE(wait_until(
        [&] { return (frame = window_of(process.dwProcessId, win32::kMainWindowClass)); }));
    const HWND list = ::FindWindowExW(
        ::FindWindowExW(::FindWindowExW(frame, nullptr, L"VekDC.DecodePanel", nullptr), nullptr,
                        L"VekDC.DecodeForm", nullptr),
        nullptr, L"ListBox", nullptr);
    EXPECT_TRUE(wait_until([&] { return ::SendMessageW(list, LB_GETCOUNT, 0, 0) == 1; }));
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD status = 255;
    ::GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(settings.read("VekDCDoc", "HomeDir"), "xxx");
    EXPECT_TRUE(settings.read("CLeftView", "PaneColorLBack").has_value());
}

TEST(Program, AnswersHelpAndVersionWithoutAWindow) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;  // the start of what it prints
        std::string err;
    } rows[] = {
        {{"--version"}, 0, "vekdc " VEKDC_VERSION "\n", ""},
        {{"--help"}, 0, "使い方: ", ""},
        {{"--add", "--bogus"}, 1, "", "不明なオプションです: 'bogus'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.back());
        std::vector<std::string> line = {build_path(VEKDC_WINDOW_EXE)};
        line.insert(line.end(), row.arguments.begin(), row.arguments.end());
        const ProcessResult result = run_process(line);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.out.substr(0, row.out.size()), row.out);
        EXPECT_EQ(result.err.substr(0, row.err.size()), row.err);
        EXPECT_EQ(result.err.empty(), row.err.empty());
    }
}

}  // namespace
}  // namespace vekdc::test
