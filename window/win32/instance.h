// One window takes the files of every later start. Explorer opens a selection
// of .vek files with one `vekdc --add FILE` per file: a start with --add while
// the program's main window runs in the same session gives its files to that
// window (which lists them as if they were dropped on it and comes to the
// front) and ends without a window of its own. A start without --add opens a
// window of its own, as before.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vekdc::win32 {

// The main window's class, by which a later start finds it.
inline constexpr wchar_t kMainWindowClass[] = L"Orvinta.VekDC.MainFrame";

// Held from a start until its main window exists (or the start gives up), so
// that of several starts at the same moment the first makes the window and
// the others find it.
class StartLock {
public:
    StartLock();
    ~StartLock();
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;
    void Release();

private:
    HANDLE m_mutex;
    bool m_held = false;
};

// Gives `paths` to the running main window; false when there is none, or it
// did not take them in time.
bool ForwardToRunningWindow(const std::vector<std::string>& paths);

// The paths of a WM_COPYDATA that ForwardToRunningWindow sent; nothing for
// any other data.
std::optional<std::vector<std::string>> forwarded_paths(const COPYDATASTRUCT& data);

}  // namespace vekdc::win32
