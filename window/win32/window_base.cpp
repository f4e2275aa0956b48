#include "window/win32/window_base.h"

#include <set>
#include <string>

namespace vekdc::win32 {

namespace {

// The class names registered by this module, so that FromHandle trusts only
// its own windows' user data.
std::set<std::wstring>& OwnClasses() {
    static std::set<std::wstring> classes;
    return classes;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

}  // namespace

WindowBase::~WindowBase() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd) != 0) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

WindowBase* WindowBase::FromHandle(HWND window) {
    if (window == nullptr || OwnClasses().count(ClassOf(window)) == 0) {
        return nullptr;
    }
    return reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool WindowBase::Create(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* text,
                        const RECT& place, HWND parent, HMENU menuOrId) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (OwnClasses().count(className) == 0) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = Dispatch;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className;
        if (::RegisterClassExW(&windowClass) == 0 &&
            ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
        OwnClasses().insert(className);
    }
    return ::CreateWindowExW(exStyle, className, text, style, place.left, place.top,
                             place.right - place.left, place.bottom - place.top, parent, menuOrId,
                             instance, this) != nullptr;
}

LRESULT WindowBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowBase::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hWnd = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    const LRESULT result = self->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

}  // namespace vekdc::win32
