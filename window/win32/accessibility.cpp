#include "window/win32/accessibility.h"

#include <oleacc.h>

#include "window/win32/window_base.h"

namespace vekdc::win32 {

namespace {

// UI Automation's LiveSetting property and its value "polite": read out once
// the reader has finished what it is saying.
constexpr GUID kLiveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;

}  // namespace

HWND CreateNameLabel(HWND parent, const std::wstring& name) {
    return ::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0,
                             0, parent, ControlId(-1), ::GetModuleHandleW(nullptr), nullptr);
}

Announcer::~Announcer() {
    if (m_properties != nullptr) {
        static_cast<IAccPropServices*>(m_properties)->Release();
    }
}

void Announcer::Create(HWND parent) {
    // Shown, but of no size: it takes no room and no input.
    m_hWnd =
        ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0,
                          0, parent, ControlId(-1), ::GetModuleHandleW(nullptr), nullptr);
    IAccPropServices* properties = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IAccPropServices,
                                     reinterpret_cast<void**>(&properties)))) {
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = kPolite;
        properties->SetHwndProp(m_hWnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                kLiveSettingProperty, polite);
        m_properties = properties;
    }
}

void Announcer::Announce(const std::wstring& text) {
    ::SetWindowTextW(m_hWnd, text.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace vekdc::win32
