// A window of the program's own class, with its messages handled by a C++
// object: the object lives longer than its window, and the window forgets
// the object when it is destroyed.
#pragma once

#include <windows.h>

namespace vekdc::win32 {

class WindowBase {
public:
    WindowBase() = default;
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object of a window of one of the program's classes; nullptr for others.
    static WindowBase* FromHandle(HWND window);

protected:
    // Registers the class once (on first use) and creates the window.
    bool Create(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* text,
                const RECT& place, HWND parent, HMENU menuOrId);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The handle of a child window's control identifier, as a window's menu argument.
inline HMENU ControlId(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

}  // namespace vekdc::win32
