// Helpers for tests of Windows boxes, dialogs and windows (under wine on
// Linux): boxes are found as the test's thread shows them and answered
// through their messages, as a user's click would.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace vekdc::test {

// Calls `answer` with each dialog box (message box, file dialog) that this
// thread shows, once per box, while the object lives. `answer` runs once the
// box is set up and waits in its modal loop, before a user could act; it
// should end the box (press).
class DialogAnswerer {
public:
    explicit DialogAnswerer(std::function<void(HWND)> answer);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

private:
    // A box that becomes active is sent a note to itself; the note comes out
    // of the box's queue once the box is set up and waits for input.
    static LRESULT CALLBACK on_activation(int code, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK on_message(int code, WPARAM wparam, LPARAM lparam);

    std::function<void(HWND)> answer_;
    std::set<HWND> noted_;
    HHOOK activation_hook_;
    HHOOK message_hook_;
    DialogAnswerer* previous_;
};

// Ends a dialog as its button `id` does when clicked.
void press(HWND dialog, int id);

std::wstring window_text(HWND window);

// What a message box shows.
struct MessageBoxContent {
    std::wstring caption;
    std::wstring text;
    HICON icon = nullptr;
    std::vector<int> buttons;  // the identifiers of its push buttons, in order
};
MessageBoxContent read_message_box(HWND box);

// What a file dialog shows.
struct FileDialogContent {
    std::wstring title;
    std::wstring folder;
    std::wstring name;
    std::vector<std::wstring> filters;  // the labels of its file types
    int selected_filter = -1;
};
FileDialogContent read_file_dialog(HWND dialog);
// Puts a name into a file dialog's name field, as the user types it.
void type_file_name(HWND dialog, const std::wstring& name);

// A shown top-level window of this thread, destroyed with the object.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

// Runs `work` on a thread of its own while this thread takes its messages,
// and returns when it is done; what it throws is thrown here.
void on_worker(const std::function<void()>& work);

// Whether the tests run under wine rather than on Windows.
bool under_wine();

}  // namespace vekdc::test
