// The platform services of the Windows window: the system's message boxes
// and common file-open dialog, owned by the window they belong to.
#pragma once

#include <windows.h>

#include "platform/services.h"

namespace vekdc::platform::win32 {

class GuiServices : public Services {
public:
    // Boxes and dialogs belong to `owner` (or to its last active pop-up, such
    // as a dialog it shows). Without one they are modal to every window of the
    // thread that shows them.
    void set_owner(HWND owner) { owner_ = owner; }

    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    // The current folder is the same after the dialog as before it.
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;

private:
    HWND owner() const;

    HWND owner_ = nullptr;
};

}  // namespace vekdc::platform::win32
