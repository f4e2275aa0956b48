#include "platform/win32/gui_services.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/file_filter.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/win32/text.h"

namespace vekdc::platform::win32 {

namespace {

// The longest path the wide file functions take (UNICODE_STRING_MAX_CHARS),
// so that the dialog never refuses a name for its length.
constexpr std::size_t kLongestPath = 32767;

struct IconStyle {
    Icon icon;
    UINT style;
};
constexpr std::array<IconStyle, 4> kIconStyles{{
    {Icon::None, 0},
    {Icon::Information, MB_ICONINFORMATION},
    {Icon::Question, MB_ICONQUESTION},
    {Icon::Exclamation, MB_ICONEXCLAMATION},
}};

struct ButtonStyle {
    Buttons buttons;
    UINT style;
};
constexpr std::array<ButtonStyle, 3> kButtonStyles{{
    {Buttons::Ok, MB_OK},
    {Buttons::OkCancel, MB_OKCANCEL},
    {Buttons::YesNo, MB_YESNO},
}};

struct Result {
    int id;
    Answer answer;
};
constexpr std::array<Result, 4> kResults{{
    {IDOK, Answer::Ok},
    {IDCANCEL, Answer::Cancel},
    {IDYES, Answer::Yes},
    {IDNO, Answer::No},
}};

UINT box_style(Buttons buttons, Icon icon) {
    UINT style = 0;
    for (const auto& entry : kButtonStyles) {
        style |= entry.buttons == buttons ? entry.style : 0;
    }
    for (const auto& entry : kIconStyles) {
        style |= entry.icon == icon ? entry.style : 0;
    }
    return style;
}

Answer answer_for(int result) {
    for (const auto& entry : kResults) {
        if (entry.id == result) {
            return entry.answer;
        }
    }
    return Answer::Failed;
}

// The filter list of the dialog ("label\0patterns\0...\0\0") and the entry it
// shows first (from 1). A wildcard initial name selects the entry with that
// pattern, or comes first as an entry of its own.
struct DialogFilter {
    std::wstring list;
    DWORD selected = 0;
};

DialogFilter dialog_filter(const FileDialogRequest& request) {
    std::vector<FileFilter> filters = parse_file_filter(request.filter);
    DialogFilter result;
    if (has_wildcard(request.initial_name)) {
        for (std::size_t i = 0; i < filters.size() && result.selected == 0; ++i) {
            for (const auto& pattern : filters[i].patterns) {
                if (pattern == request.initial_name) {
                    result.selected = static_cast<DWORD>(i + 1);
                }
            }
        }
        if (result.selected == 0) {
            filters.insert(filters.begin(), {request.initial_name, {request.initial_name}});
            result.selected = 1;
        }
    }
    for (const auto& filter : filters) {
        std::string patterns;
        for (const auto& pattern : filter.patterns) {
            patterns += (patterns.empty() ? "" : ";") + pattern;
        }
        result.list +=
            widen(filter.label) + L'\0' + widen(patterns.empty() ? "*.*" : patterns) + L'\0';
    }
    if (!result.list.empty()) {
        result.list += L'\0';
    }
    return result;
}

// The dialog's first folder as a full path ("./" is the current folder).
std::wstring dialog_folder(const std::string& folder) {
    const auto host = folder.empty() ? std::nullopt : host_path(folder);
    if (!host || host->empty()) {
        return std::wstring();
    }
    const std::wstring wide = widen(*host);
    const std::wstring full = full_path(wide);
    return full.empty() ? wide : full;
}

std::wstring current_folder() {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(needed, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(needed, folder.data());
    folder.resize(length < needed ? length : 0);
    return folder;
}

// Puts the current folder back when it goes: the file dialog moves it to the
// folder of the chosen file, and relative paths of the core must keep their meaning.
class CurrentFolderKeeper {
public:
    CurrentFolderKeeper() : folder_(current_folder()) {}
    ~CurrentFolderKeeper() {
        if (!folder_.empty()) {
            ::SetCurrentDirectoryW(folder_.c_str());
        }
    }
    CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
    CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

private:
    std::wstring folder_;
};

}  // namespace

HWND GuiServices::owner() const {
    if (owner_ == nullptr || ::IsWindow(owner_) == 0) {
        return nullptr;
    }
    return ::GetLastActivePopup(::GetAncestor(owner_, GA_ROOT));
}

Answer GuiServices::message_box(const std::string& text, const std::string& caption,
                                Buttons buttons, Icon icon) {
    const HWND owner_window = owner();
    const UINT modality = owner_window != nullptr ? MB_APPLMODAL : MB_TASKMODAL;
    return answer_for(::MessageBoxW(owner_window, widen(text).c_str(), widen(caption).c_str(),
                                    box_style(buttons, icon) | modality));
}

std::optional<std::string> GuiServices::open_file(const FileDialogRequest& request) {
    const DialogFilter filter = dialog_filter(request);
    const std::wstring title = widen(request.title);
    const std::wstring folder = dialog_folder(request.initial_dir);
    std::wstring default_ext = widen(request.default_ext);
    if (default_ext.starts_with(L'.')) {
        default_ext.erase(0, 1);
    }
    std::wstring file =
        has_wildcard(request.initial_name) ? std::wstring() : widen(request.initial_name);
    file.resize(std::max(file.size(), kLongestPath) + 1, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner();
    dialog.lpstrFilter = filter.list.empty() ? nullptr : filter.list.c_str();
    dialog.nFilterIndex = filter.selected;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrDefExt = default_ext.empty() ? nullptr : default_ext.c_str();
    // A name need not exist yet: whoever reads the file reports what is wrong with it.
    dialog.Flags = OFN_EXPLORER;
    const CurrentFolderKeeper keeper;
    if (::GetOpenFileNameW(&dialog) == 0) {
        return std::nullopt;
    }
    return narrow(file.c_str());
}

void GuiServices::run_program(const std::string& command_line) {
    start_program(command_line);
}

void GuiServices::shell_open(const std::string& path, const std::string& working_dir) {
    open_document(path, working_dir);
}

}  // namespace vekdc::platform::win32
