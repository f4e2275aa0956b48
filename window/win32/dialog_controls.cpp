#include "window/win32/dialog_controls.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/metrics.h"
#include "platform/win32/text.h"
#include "window/win32/accessibility.h"
#include "window/win32/texts.h"
#include "window/win32/window_base.h"

namespace vekdc::win32 {

namespace {

using desktop::control_kind;

struct ControlClass {
    control_kind kind;
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

// The input list: sorted by the core, each click toggling an entry, entries
// in columns, scroll bars shown (disabled) when not needed, its keys told to
// the form (Delete).
constexpr DWORD kListStyle = LBS_MULTIPLESEL | LBS_MULTICOLUMN | LBS_DISABLENOSCROLL |
                             LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
                             WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;

// clang-format off
constexpr ControlClass kControlClasses[] = {
    // kind                          class            style                                       extended style
    {control_kind::push_button,     L"BUTTON",       BS_PUSHBUTTON | WS_TABSTOP,                 0},
    {control_kind::def_push_button, L"BUTTON",       BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP,   0},
    {control_kind::static_text,     L"STATIC",       SS_LEFT | SS_NOPREFIX | WS_GROUP,           0},
    {control_kind::icon,            L"STATIC",       SS_ICON | SS_CENTERIMAGE,                   0},
    {control_kind::edit,            L"EDIT",         ES_AUTOHSCROLL | WS_TABSTOP,                WS_EX_CLIENTEDGE},
    {control_kind::list_box,        L"LISTBOX",      kListStyle,                                 WS_EX_CLIENTEDGE},
    {control_kind::progress,        PROGRESS_CLASSW, 0,                                          0},
};
// clang-format on

const ControlClass& ClassOf(control_kind kind) {
    return *std::find_if(std::begin(kControlClasses), std::end(kControlClasses),
                         [kind](const ControlClass& entry) { return entry.kind == kind; });
}

// The Latin letters whose average width is the base unit across.
constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

SIZE TextExtent(HDC dc, const std::wstring& text) {
    RECT bounds{0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

// Selects a font into a device context for as long as it lives.
class SelectedFont {
public:
    SelectedFont(HDC dc, HFONT font) : m_dc(dc), m_previous(::SelectObject(dc, font)) {}
    ~SelectedFont() { ::SelectObject(m_dc, m_previous); }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

}  // namespace

desktop::base_units BaseUnitsOf(HDC dc, HFONT font) {
    const SelectedFont selected(dc, font);
    SIZE letters{};
    ::GetTextExtentPoint32W(dc, kLetters, static_cast<int>(std::size(kLetters) - 1), &letters);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    return desktop::base_units_of(letters.cx, metrics.tmHeight);
}

DialogControls::DialogControls(const desktop::dialog_template& dialog, HWND surface)
    : m_template(dialog), m_surface(surface) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (const desktop::dialog_item& item : dialog.items) {
        const ControlClass& kind = ClassOf(item.kind);
        const std::wstring text = ItemText(item);
        if (item.accessible_name) {
            CreateNameLabel(surface, Text(*item.accessible_name));
        }
        // Made in template order, each after the last: the tab order is the template's.
        const HWND control = ::CreateWindowExW(
            kind.exStyle, kind.className, text.c_str(), WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0,
            0, surface, ControlId(item.id == desktop::IDC_STATIC ? -1 : item.id), instance,
            nullptr);
        m_controls.push_back(control);
        if (item.tip) {
            AddTip(control, Text(*item.tip));
        }
    }
}

DialogControls::~DialogControls() {
    if (m_tips != nullptr && ::IsWindow(m_tips) != 0) {
        ::DestroyWindow(m_tips);
    }
}

void DialogControls::AddTip(HWND control, const std::wstring& tip) {
    if (m_tips == nullptr) {
        m_tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_surface, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_surface;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tip.empty() ? LPSTR_TEXTCALLBACKW : const_cast<LPWSTR>(tip.c_str());
    ::SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::wstring DialogControls::ItemText(const desktop::dialog_item& item) {
    if (item.text) {
        return Text(*item.text);
    }
    return item.fixed != nullptr ? platform::win32::widen(item.fixed) : std::wstring();
}

HWND DialogControls::Item(int id) const {
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if (m_template.items[i].id == id) {
            return m_controls[i];
        }
    }
    return nullptr;
}

desktop::size DialogControls::Needed(const desktop::dialog_item& item, HDC dc,
                                     desktop::base_units base, UINT dpi) {
    const int edge = platform::win32::scale_to_dpi(2, dpi);
    switch (item.kind) {
        case control_kind::push_button:
        case control_kind::def_push_button: {
            // The text with two base units of room on each side, the frame around it.
            const SIZE text = TextExtent(dc, ItemText(item));
            return desktop::size{text.cx + 4 * base.width, text.cy + 2 * edge + base.height / 4};
        }
        case control_kind::static_text: {
            const SIZE text = TextExtent(dc, ItemText(item));
            return desktop::size{text.cx, text.cy};
        }
        case control_kind::icon: {
            const int icon = platform::win32::scale_to_dpi(32, dpi);
            return desktop::size{icon, icon};
        }
        case control_kind::edit: {
            // The text runs on sideways; its line must fit in height.
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(dc, &metrics);
            return desktop::size{0, metrics.tmHeight + 2 * edge + 2};
        }
        case control_kind::list_box:
        case control_kind::progress:
            break;
    }
    return desktop::size{};
}

SIZE DialogControls::LayOut(HFONT font, UINT dpi) {
    const HDC dc = ::GetDC(m_surface);
    const desktop::base_units base = BaseUnitsOf(dc, font);
    std::vector<desktop::size> needed;
    {
        const SelectedFont selected(dc, font);
        for (std::size_t i = 0; i < m_controls.size(); ++i) {
            needed.push_back(Needed(m_template.items[i], dc, base, dpi));
        }
    }
    ::ReleaseDC(m_surface, dc);
    const desktop::dialog_layout layout = desktop::lay_out(m_template, base, needed);
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const desktop::rect& place = layout.places[i];
        ::SendMessageW(m_controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ::MoveWindow(m_controls[i], place.x, place.y, place.width, place.height, TRUE);
    }
    if (m_tips != nullptr) {
        ::SendMessageW(m_tips, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return SIZE{layout.surface.width, layout.surface.height};
}

}  // namespace vekdc::win32
