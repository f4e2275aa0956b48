// The services that the rest of VekDC asks of the operating system's user
// interface: message boxes, the file-open dialog, starting other programs and
// ending the process. One implementation is installed at a time (console,
// Qt, or a recorder in tests); everything else calls services().
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vekdc::platform {

enum class Buttons { Ok, OkCancel, YesNo };
enum class Icon { None, Information, Question, Exclamation };
// Failed stands for a box that could not be shown at all.
enum class Answer { Failed = 0, Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// Window captions used by the engine, codec and toolkit.
inline constexpr const char* kAppTitle = "VekDC";                       // application boxes
inline constexpr const char* kEncoderCaption = "Orvinta VEK encoder";   // raw message boxes
inline constexpr const char* kDecoderCaption = "Orvinta VEK デコーダ";  // user notices
inline constexpr const char* kHierarchyDecoderCaption = "Orvinta階層的暗号化法デコーダ";

// What an open-file dialog is asked to show.
struct FileDialogRequest {
    std::string title;  // empty: the platform's default title
    // Either pairs "label|patterns|label|patterns||" or a single label, whose
    // parenthesised patterns (if any) apply, e.g. "key file (*.key)".
    std::string filter;
    std::string default_ext;   // appended when a typed name has no extension
    std::string initial_name;  // e.g. "*.key"
    std::string initial_dir;   // e.g. "./"
    // When set, the dialog takes only a file that exists and of which this
    // says nothing (an empty text); for any other it shows the text and
    // stays open. Services whose dialog cannot stay open return the file
    // all the same: whoever asked checks it again.
    std::function<std::string(const std::string& path)> check;
};

class Services {
public:
    virtual ~Services() = default;

    virtual Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                               Icon icon) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> open_file(const FileDialogRequest& request) = 0;
    // Stand-in for WinExec: a command line naming a program and its argument.
    // Whatever cannot be started is ignored.
    virtual void run_program(const std::string& command_line) = 0;
    // Stand-in for ShellExecute's default action on a file.
    virtual void shell_open(const std::string& path, const std::string& working_dir) = 0;
    // Ends the process with the given status; never returns.
    [[noreturn]] virtual void exit_program(int status);
};

// The installed implementation (a console one until something else is installed).
Services& services();
// Installs an implementation and returns the previous one; nullptr restores the console.
// The caller keeps ownership.
Services* install(Services* implementation);

// Shorthand for the application's message box with an OK button.
void app_message(const std::string& text, Icon icon = Icon::Exclamation);
// Shorthand for a raw message box with the encoder's caption.
Answer encoder_message(const std::string& text, Buttons buttons = Buttons::Ok);
[[noreturn]] void exit_program(int status);
// The application's message box, then the end of the process with `status`:
// how the core meets a fatal condition.
[[noreturn]] void fatal_error(const std::string& text, int status);

// A message about a file: the text (without its final full stop), the file
// (as shown_path() shows it), and the system's reason where it gave one, e.g. "file open error in
// batch mode (decoder): a.vek: No such file or directory". An error number of 0 adds no reason.
std::string about_file(const std::string& text, const std::string& path, int error_number = 0);
// The same with the reason in words.
std::string about_file(const std::string& text, const std::string& path, const std::string& reason);

}  // namespace vekdc::platform
