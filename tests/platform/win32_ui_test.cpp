// The services of the Windows window on the real desktop: message boxes and
// the file dialog as the user sees them, a worker's calls carried out on the
// window's thread, the registry, the lock keys, DPI and the message font.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/gui_services.h"
#include "platform/win32/lock_keys.h"
#include "platform/win32/metrics.h"
#include "platform/win32/registry.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_thread_services.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"
#include "tests/support/win32_gui.h"

namespace vekdc::platform::win32 {
namespace {

using test::DialogAnswerer;
using test::TempDir;
using test::TestWindow;

TEST(GuiServices, MessageBoxesShowWhatTheyAreAskedAndAnswerWithTheButtonPressed) {
    const struct {
        Buttons buttons;
        Icon icon;
        const wchar_t* standard_icon;  // nullptr: no icon
        std::vector<int> shown_buttons;
        int pressed;
        Answer answer;
        bool owned;  // shown with the window as owner, or without an owner
    } cases[] = {
        {Buttons::Ok, Icon::Information, IDI_INFORMATION, {IDOK}, IDOK, Answer::Ok, true},
        {Buttons::YesNo, Icon::Question, IDI_QUESTION, {IDYES, IDNO}, IDNO, Answer::No, true},
        {Buttons::YesNo, Icon::Question, IDI_QUESTION, {IDYES, IDNO}, IDYES, Answer::Yes, true},
        {Buttons::OkCancel, Icon::None, nullptr, {IDOK, IDCANCEL}, IDCANCEL, Answer::Cancel, true},
        {Buttons::Ok, Icon::Exclamation, IDI_EXCLAMATION, {IDOK}, IDOK, Answer::Ok, false},
    };
    TestWindow window;
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        GuiServices services;
        services.set_owner(c.owned ? window.get() : nullptr);
        test::MessageBoxContent shown;
        HWND owner = nullptr;
        bool window_enabled = true;
        const DialogAnswerer answerer([&](HWND box) {
            shown = test::read_message_box(box);
            owner = ::GetWindow(box, GW_OWNER);
            window_enabled = ::IsWindowEnabled(window.get()) != 0;
            test::press(box, c.pressed);
        });
        EXPECT_EQ(
            services.message_box("出力は C:\\out にされます。", kDecoderCaption, c.buttons, c.icon),
            c.answer);
        EXPECT_EQ(shown.caption, L"Orvinta VEK デコーダ");
        EXPECT_EQ(shown.text, L"出力は C:\\out にされます。");
        EXPECT_EQ(shown.icon, c.standard_icon ? ::LoadIconW(nullptr, c.standard_icon) : nullptr);
        EXPECT_EQ(shown.buttons, c.shown_buttons);
        EXPECT_EQ(owner, c.owned ? window.get() : nullptr);
        // Modal either way: the window takes no input while the box shows.
        EXPECT_FALSE(window_enabled);
        EXPECT_TRUE(::IsWindowEnabled(window.get()));
    }
}

TEST(GuiServices, FileDialogShowsTheRequestAndReturnsTheNameTyped) {
    TempDir keys;
    TempDir elsewhere;
    // The default extension is given to a name typed without one when that
    // names a file (wine gives it only then).
    test::write_file(keys / "mykey.key", "key");
    const std::wstring folder = full_path(widen(keys.path()));
    const struct {
        FileDialogRequest request;
        const wchar_t* typed;  // nullptr: the name shown is taken as it is
        int pressed;
        test::FileDialogContent expected;  // an empty title: the system's own
        std::optional<std::string> chosen;
    } cases[] = {
        {{"", "Vekキーファイル|*.key|すべて|*.*||", "key", "", keys.path(), {}},
         L"mykey",
         IDOK,
         {L"", folder, L"", {L"Vekキーファイル", L"すべて"}, 0},
         keys / "mykey.key"},
        {{"鍵ファイル",
          "vek file (*.vek)|*.vek|key file (*.key)|*.key||",
          "key",
          "*.key",
          keys.path(),
          {}},
         L"k.key",
         IDOK,
         {L"鍵ファイル", folder, L"", {L"vek file (*.vek)", L"key file (*.key)"}, 1},
         keys / "k.key"},
        {{"", "vek file (*.vek)|*.vek| all files (*.*)|*.*||", "", "*.bin", keys.path(), {}},
         L"x.bin",
         IDOK,
         {L"", folder, L"", {L"*.bin", L"vek file (*.vek)", L"all files (*.*)"}, 0},
         keys / "x.bin"},
        {{"", "", "", "start.vek", keys.path(), {}},
         nullptr,
         IDOK,
         {L"", folder, L"start.vek", {}, -1},
         keys / "start.vek"},
        {{"", "key file (*.key)", "key", "", keys.path(), {}},
         L"never.key",
         IDCANCEL,
         {L"", folder, L"", {L"key file (*.key)"}, 0},
         std::nullopt},
    };
    const test::CurrentFolder current(elsewhere.path());
    const std::wstring before = full_path(L".");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.filter + " " + c.request.initial_name);
        GuiServices services;
        test::FileDialogContent shown;
        const DialogAnswerer answerer([&](HWND dialog) {
            shown = test::read_file_dialog(dialog);
            if (c.typed != nullptr) {
                test::type_file_name(dialog, c.typed);
            }
            test::press(dialog, c.pressed);
        });
        EXPECT_EQ(services.open_file(c.request), c.chosen);
        if (!c.expected.title.empty()) {
            EXPECT_EQ(shown.title, c.expected.title);
        }
        EXPECT_EQ(shown.folder, c.expected.folder);
        EXPECT_EQ(shown.name, c.expected.name);
        EXPECT_EQ(shown.filters, c.expected.filters);
        EXPECT_EQ(shown.selected_filter, c.expected.selected_filter);
        // Relative paths of the core keep their meaning after the dialog.
        EXPECT_EQ(full_path(L"."), before);
    }
}

// Notes the thread that each call reaches it on; a program start throws.
class ThreadRecorder : public RecordingServices {
public:
    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override {
        thread = ::GetCurrentThreadId();
        return RecordingServices::message_box(text, caption, buttons, icon);
    }
    std::optional<std::string> open_file(const FileDialogRequest& request) override {
        thread = ::GetCurrentThreadId();
        return RecordingServices::open_file(request);
    }
    void run_program(const std::string& /*command_line*/) override {
        thread = ::GetCurrentThreadId();
        throw std::runtime_error("refused on the window's thread");
    }
    DWORD thread = 0;
};

TEST(UiThreadServices, AWorkersCallsAreCarriedOutOnTheWindowsThread) {
    using Call = std::function<std::string(Services&)>;
    const struct {
        Call call;
        std::string result;
    } cases[] = {
        {[](Services& s) {
             return s.message_box("?", kDecoderCaption, Buttons::YesNo, Icon::Question) ==
                            Answer::No
                        ? "no"
                        : "other";
         },
         "no"},
        {[](Services& s) { return s.open_file(FileDialogRequest{}).value_or("none"); },
         "C:\\keys\\a.key"},
        {[](Services& s) {
             s.run_program("viewer x.gif");
             return "not thrown";
         },
         "refused on the window's thread"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        ThreadRecorder recorder;
        recorder.setNextAnswer(Answer::No);
        recorder.setNextFile("C:\\keys\\a.key");
        UiThreadServices marshalled(recorder);
        DWORD worker_thread = 0;
        std::string result;
        test::on_worker([&] {
            worker_thread = ::GetCurrentThreadId();
            try {
                result = c.call(marshalled);
            } catch (const std::exception& error) {
                result = error.what();  // thrown on the window's thread, caught here
            }
        });
        EXPECT_EQ(result, c.result);
        EXPECT_NE(worker_thread, ::GetCurrentThreadId());
        EXPECT_EQ(recorder.thread, ::GetCurrentThreadId());
    }
}

TEST(UiThreadServicesDeathTest, AWorkerEndsTheProgramFromTheWindowsThread) {
    const auto run = [] {
        class Reporting : public RecordingServices {
        public:
            explicit Reporting(DWORD window) : window_(window) {}
            [[noreturn]] void exit_program(int status) override {
                std::fprintf(stderr, "exit on %s thread\n",
                             ::GetCurrentThreadId() == window_ ? "the window's" : "another");
                Services::exit_program(status);
            }

        private:
            DWORD window_;
        } reporting(::GetCurrentThreadId());
        UiThreadServices marshalled(reporting);
        test::on_worker([&] { marshalled.exit_program(4); });
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(4), "exit on the window's thread");
}

// Settings under a key of the test's own, removed afterwards.
class RegistrySettingsTest : public testing::Test {
protected:
    RegistrySettingsTest()
        : settings_("Orvinta", "VekDC-test-" + std::to_string(::GetCurrentProcessId())) {}
    ~RegistrySettingsTest() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, settings_.key().c_str());
    }

    RegistrySettings settings_;
};

TEST_F(RegistrySettingsTest, ValuesComeBackAsWritten) {
    const struct {
        const char* section;
        const char* name;
        std::string value;
    } cases[] = {
        {"VekDCDoc", "鍵", "C:\\鍵\\例.key"},
        {"VekDCDoc", "Empty", ""},
        {"VekDCDoc", "Long", std::string(100000, 'x')},
        {"", "AtTheTop", "top"},
        {"Deep\\Section", "Value", "deep"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(settings_.write(c.section, c.name, c.value));
        EXPECT_EQ(settings_.read(c.section, c.name), c.value);
    }
    ASSERT_TRUE(settings_.write("VekDCDoc", "HomeDir", "yyy"));
    EXPECT_EQ(settings_.read("VekDCDoc", "HomeDir"), "yyy");
}

TEST_F(RegistrySettingsTest, WhatIsNotAStringReadsAsMissing) {
    ASSERT_TRUE(settings_.write("CLeftView", "PaneColorLText", "00000000"));
    const DWORD number = 7;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (settings_.key() + L"\\CLeftView").c_str(),
                                L"Number", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(settings_.read("CLeftView", "Missing"), std::nullopt);
    EXPECT_EQ(settings_.read("NoSuchSection", "PaneColorLText"), std::nullopt);
    EXPECT_EQ(settings_.read("CLeftView", "Number"), std::nullopt);
}

TEST_F(RegistrySettingsTest, RemovingASectionTakesAllOfItAndNothingElse) {
    ASSERT_TRUE(settings_.write("CLeftView", "PaneColorLBack", "00ffffff"));
    ASSERT_TRUE(settings_.write("CLeftView\\Inner", "Value", "inner"));
    ASSERT_TRUE(settings_.write("VekDCDoc", "HomeDir", "xxx"));

    EXPECT_TRUE(settings_.remove_section("CLeftView"));
    EXPECT_EQ(settings_.read("CLeftView", "PaneColorLBack"), std::nullopt);
    EXPECT_EQ(settings_.read("CLeftView\\Inner", "Value"), std::nullopt);
    EXPECT_EQ(settings_.read("VekDCDoc", "HomeDir"), "xxx");

    EXPECT_TRUE(settings_.remove_section("CLeftView"));  // already gone
    EXPECT_FALSE(settings_.remove_section(""));          // would be every section
    EXPECT_EQ(settings_.read("VekDCDoc", "HomeDir"), "xxx");
}

// Presses and releases a key as the keyboard does, and takes this thread's
// messages until the release has arrived.
void press_key(UINT key) {
    INPUT strokes[2] = {};
    for (INPUT& stroke : strokes) {
        stroke.type = INPUT_KEYBOARD;
        stroke.ki.wVk = static_cast<WORD>(key);
    }
    strokes[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(::SendInput(2, strokes, sizeof(INPUT)), 2u);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
        if (message.message == WM_KEYUP && message.wParam == key) {
            return;
        }
    }
}

TEST(LockKeys, EachLightFollowsItsKey) {
    TestWindow window;
    ::SetForegroundWindow(window.get());
    ::SetFocus(window.get());
    ASSERT_EQ(::GetFocus(), window.get());
    for (const LockKey key : {LockKey::Kana, LockKey::Caps, LockKey::Num, LockKey::Scroll}) {
        SCOPED_TRACE(static_cast<int>(key));
        const LockKeyLights before = lock_key_lights();
        LockKeyLights expected = before;
        expected[static_cast<std::size_t>(key)] = !expected[static_cast<std::size_t>(key)];
        press_key(virtual_key(key));
        EXPECT_EQ(lock_key_lights(), expected);
        press_key(virtual_key(key));  // as it was
        EXPECT_EQ(lock_key_lights(), before);
    }
}

// This thread's windows follow their monitor's DPI while the object lives.
class PerMonitorDpi {
public:
    PerMonitorDpi()
        : previous_(::SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {}
    ~PerMonitorDpi() { ::SetThreadDpiAwarenessContext(previous_); }
    PerMonitorDpi(const PerMonitorDpi&) = delete;
    PerMonitorDpi& operator=(const PerMonitorDpi&) = delete;

private:
    DPI_AWARENESS_CONTEXT previous_;
};

TEST(Metrics, TheMessageFontIsSizedForTheDpiAsked) {
    const PerMonitorDpi aware;
    const TestWindow window;
    const HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(window_dpi(window.get()), static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY)));
    ::ReleaseDC(nullptr, screen);

    const LOGFONTW base = message_font(kBaseDpi);
    ASSERT_LT(base.lfHeight, 0);  // a character height, in pixels
    ASSERT_NE(base.lfFaceName[0], L'\0');
    for (const UINT dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        const LOGFONTW font = message_font(dpi);
        EXPECT_NEAR(font.lfHeight, scale_to_dpi(base.lfHeight, dpi), 1);
        EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(base.lfFaceName));
    }
}

// Fonts that Japanese dialogs ask for by name: wine's prefix must give them
// a font with Japanese letters, or every screenshot shows empty boxes.
TEST(JapaneseFonts, TheFacesDialogsAskForHaveJapaneseLetters) {
    if (!test::under_wine()) {
        GTEST_SKIP() << "Windows has its own fonts";
    }
    const std::wstring text = L"デコード実行ﾃﾞｺｰﾄﾞ";
    const HDC screen = ::GetDC(nullptr);
    for (const wchar_t* face : {L"ＭＳ Ｐゴシック", L"MS PGothic", L"MS UI Gothic",
                                L"ＭＳ ゴシック", L"Meiryo UI", L"Yu Gothic UI"}) {
        SCOPED_TRACE(narrow(face));
        LOGFONTW description{};
        description.lfHeight = -12;
        description.lfCharSet = DEFAULT_CHARSET;
        wcsncpy(description.lfFaceName, face, LF_FACESIZE - 1);
        const Font font = make_font(description);
        const HGDIOBJ previous = ::SelectObject(screen, font.get());
        std::vector<WORD> glyphs(text.size());
        ASSERT_NE(::GetGlyphIndicesW(screen, text.c_str(), static_cast<int>(text.size()),
                                     glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS),
                  GDI_ERROR);
        for (const WORD glyph : glyphs) {
            EXPECT_NE(glyph, 0xFFFF);
        }
        ::SelectObject(screen, previous);
    }
    ::ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace vekdc::platform::win32
