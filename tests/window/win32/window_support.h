// The Windows window in a test's own process, made as vekdc.exe makes it and
// driven through its messages: its boxes and dialogs are the real ones,
// answered as they show; its settings are under a registry key of the test's
// own; programs it would start (viewers, the browser) are only noted.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/gui_services.h"
#include "tests/support/win32_gui.h"
#include "window/win32/application.h"
#include "window/win32/decode_panel.h"
#include "window/win32/drive_tree.h"
#include "window/win32/main_window.h"

namespace vekdc::test {

// The example key and files of the source tree, as this system names them.
std::string examples_folder();
std::string example_key();

// The window's services with the program starts noted instead of made.
class NotingServices : public platform::win32::GuiServices {
public:
    void run_program(const std::string& command_line) override { started.push_back(command_line); }
    void shell_open(const std::string& path, const std::string& /*working_dir*/) override {
        started.push_back(path);
    }
    std::vector<std::string> started;
};

// A box or dialog as it showed.
struct ShownBox {
    std::wstring caption;
    std::wstring text;  // a message box's text
    bool file_dialog = false;
};

// How a box is answered: it gets the box's window and ends it.
using BoxAnswer = std::function<void(HWND box)>;
BoxAnswer press_button(int id);
// A file dialog given a name, as the user types it, then OK.
BoxAnswer choose_file(const std::string& path);

// A settings key of the test's own below Orvinta, removed when the object goes.
class TestSettingsKey {
public:
    TestSettingsKey();
    ~TestSettingsKey();
    TestSettingsKey(const TestSettingsKey&) = delete;
    TestSettingsKey& operator=(const TestSettingsKey&) = delete;
    const std::string& name() const { return name_; }
    std::optional<std::string> read(const std::string& section, const std::string& value) const;
    void write(const std::string& section, const std::string& value, const std::string& text) const;

private:
    std::string name_;
};

class WindowSession {
public:
    struct Options {
        // The key chosen in the key dialog of the start; nothing: cancelled.
        std::optional<std::string> key = example_key();
        std::vector<std::string> arguments;
        const TestSettingsKey* settings = nullptr;  // nullptr: one of the session's own
    };
    WindowSession();
    explicit WindowSession(const Options& options);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    bool started() const { return started_; }
    win32::CVekDCApp& app() { return *app_; }
    win32::CMainFrame& frame() { return *app_->GetMainWnd(); }
    win32::CLeftView& tree() { return frame().GetLeftView(); }
    win32::CVekDCView& panel() { return frame().GetDecodeView(); }
    desktop::CVekDCDoc& doc() { return *app_->GetDocument(); }
    HWND item(int id) { return panel().GetDlgItem(id); }

    // Every box and dialog shown so far, in order; and how the next ones are
    // answered (without a plan: OK, No, or Cancel for a file dialog).
    std::vector<ShownBox> boxes;
    std::deque<BoxAnswer> answers;

    NotingServices services;

    // A button of the panel clicked, as its notification reaches the form.
    void click(int id);
    // A key pressed on a window of the main window, through the program's
    // message loop (accelerators, dialog keys) as the keyboard would.
    void key(HWND target, UINT virtual_key);
    // The status bar's message pane.
    std::wstring status() { return frame().GetStatusBar().GetPaneText(0); }
    // The input list as the list box shows it.
    std::vector<std::wstring> list_entries();
    void set_output_folder(const std::string& folder);
    // The tree's item for a path, its folders expanded on the way; nullptr if none.
    HTREEITEM expand_to(const std::string& path);
    void select(HTREEITEM item);

private:
    void answer(HWND box);

    std::unique_ptr<TestSettingsKey> own_settings_;
    std::unique_ptr<win32::CVekDCApp> app_;
    std::unique_ptr<DialogAnswerer> answerer_;
    platform::Services* previous_ = nullptr;
    bool started_ = false;
};

// A text of the window's controls.
std::wstring control_text(HWND control);

// Files dropped on a window, as Explorer drops them.
void drop_files(HWND window, const std::vector<std::string>& paths);

}  // namespace vekdc::test
