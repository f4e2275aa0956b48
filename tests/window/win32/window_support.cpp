#include "tests/window/win32/window_support.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "desktop/decode_run.h"
#include "desktop/file_names.h"
#include "platform/win32/registry.h"
#include "platform/win32/text.h"
#include "tests/support/test_support.h"

namespace vekdc::test {

namespace {

using platform::win32::narrow;
using platform::win32::widen;

bool is_file_dialog(HWND box) {
    return ::SendMessageW(box, CDM_GETFOLDERPATH, 0, 0) > 0;
}

std::string settings_key_name() {
    static int made = 0;
    return "VekDC-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++made);
}

}  // namespace

std::string examples_folder() {
    return build_path(VEKDC_EXAMPLES);
}

std::string example_key() {
    return examples_folder() + "\\example.key";
}

BoxAnswer press_button(int id) {
    return [id](HWND box) { press(box, id); };
}

BoxAnswer choose_file(const std::string& path) {
    return [path](HWND box) {
        type_file_name(box, widen(path));
        press(box, IDOK);
    };
}

TestSettingsKey::TestSettingsKey() : name_(settings_key_name()) {}

TestSettingsKey::~TestSettingsKey() {
    const platform::win32::RegistrySettings settings(desktop::kSettingsCompany, name_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, settings.key().c_str());
}

std::optional<std::string> TestSettingsKey::read(const std::string& section,
                                                 const std::string& value) const {
    return platform::win32::RegistrySettings(desktop::kSettingsCompany, name_).read(section, value);
}

void TestSettingsKey::write(const std::string& section, const std::string& value,
                            const std::string& text) const {
    platform::win32::RegistrySettings(desktop::kSettingsCompany, name_).write(section, value, text);
}

WindowSession::WindowSession() : WindowSession(Options{}) {}

WindowSession::WindowSession(const Options& options) {
    desktop::key_cache::reset();
    if (options.settings == nullptr) {
        own_settings_ = std::make_unique<TestSettingsKey>();
    }
    const TestSettingsKey& settings =
        options.settings != nullptr ? *options.settings : *own_settings_;
    previous_ = platform::install(&services);
    answerer_ = std::make_unique<DialogAnswerer>([this](HWND box) { answer(box); });
    answers.push_back(options.key ? choose_file(*options.key) : press_button(IDCANCEL));
    app_ = std::make_unique<win32::CVekDCApp>(settings.name());
    started_ = app_->InitInstance(options.arguments);
    if (started_) {
        services.set_owner(frame().GetSafeHwnd());
    }
}

WindowSession::~WindowSession() {
    app_.reset();
    answerer_.reset();
    platform::install(previous_);
    desktop::key_cache::reset();
}

void WindowSession::answer(HWND box) {
    ShownBox shown;
    shown.caption = window_text(box);
    shown.file_dialog = is_file_dialog(box);
    if (!shown.file_dialog) {
        shown.text = read_message_box(box).text;
    }
    boxes.push_back(shown);
    if (!answers.empty()) {
        const BoxAnswer next = answers.front();
        answers.pop_front();
        next(box);
        return;
    }
    const auto buttons = read_message_box(box).buttons;
    const bool yes_no = std::find(buttons.begin(), buttons.end(), IDNO) != buttons.end();
    press(box, shown.file_dialog ? IDCANCEL : yes_no ? IDNO : IDOK);
}

void WindowSession::click(int id) {
    ::SendMessageW(panel().Form(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(item(id)));
}

void WindowSession::key(HWND target, UINT virtual_key) {
    ::SetFocus(target);
    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        MSG stroke{};
        stroke.hwnd = target;
        stroke.message = message;
        stroke.wParam = virtual_key;
        stroke.lParam = message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : 1;
        if (!frame().PreTranslateMessage(stroke)) {
            ::TranslateMessage(&stroke);
            ::DispatchMessageW(&stroke);
        }
    }
    // What the key posted (a character, a command) arrives as well; the end
    // of the program is left for whoever waits for it.
    MSG posted;
    while (::PeekMessageW(&posted, nullptr, 0, 0, PM_REMOVE) != 0) {
        if (posted.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(posted.wParam));
            break;
        }
        if (frame().GetSafeHwnd() == nullptr || !frame().PreTranslateMessage(posted)) {
            ::TranslateMessage(&posted);
            ::DispatchMessageW(&posted);
        }
    }
}

std::vector<std::wstring> WindowSession::list_entries() {
    const HWND list = item(desktop::decode_pane::IDC_FILE_LIST);
    std::vector<std::wstring> entries;
    const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)),
                          L'\0');
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        entries.push_back(text);
    }
    return entries;
}

void WindowSession::set_output_folder(const std::string& folder) {
    ::SetWindowTextW(item(desktop::decode_pane::IDC_OUT_DIR), widen(folder).c_str());
}

HTREEITEM WindowSession::expand_to(const std::string& path) {
    const HWND tree = this->tree().GetSafeHwnd();
    auto next = [tree](HTREEITEM item, UINT relation) {
        return reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    };
    auto label = [tree](HTREEITEM item) {
        wchar_t text[1024] = {};
        TVITEMW data{};
        data.mask = TVIF_TEXT | TVIF_HANDLE;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = static_cast<int>(std::size(text));
        ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        return narrow(text);
    };
    // The drive first ("C: (HARD-DISK)"), then each name below it.
    HTREEITEM item = next(nullptr, TVGN_ROOT);
    while (item != nullptr && label(item).rfind(path.substr(0, 2), 0) != 0) {
        item = next(item, TVGN_NEXT);
    }
    std::string rest = path.size() > 3 ? path.substr(3) : std::string();
    while (item != nullptr) {
        ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        if (rest.empty()) {
            return item;
        }
        const std::size_t end = rest.find('\\');
        const std::string name = rest.substr(0, end);
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
        item = next(item, TVGN_CHILD);
        while (item != nullptr && label(item) != desktop::display_name(name)) {
            item = next(item, TVGN_NEXT);
        }
    }
    return nullptr;
}

void WindowSession::select(HTREEITEM item) {
    ::SendMessageW(tree().GetSafeHwnd(), TVM_SELECTITEM, TVGN_CARET,
                   reinterpret_cast<LPARAM>(item));
}

std::wstring control_text(HWND control) {
    return window_text(control);
}

void drop_files(HWND window, const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) {
        names += widen(path) + L'\0';
    }
    names += L'\0';
    const SIZE_T bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    const HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    // The window takes the drop and frees it (DragFinish).
    ::SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

}  // namespace vekdc::test
