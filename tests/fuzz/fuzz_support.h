// What the fuzz targets share: services under which "the program would end
// here" becomes an exception the target catches, a private scratch folder,
// and checks that stop the run loudly when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace vekdc::fuzz {

// Thrown where the program would have ended with `status`. Everything the
// program held is released while it unwinds, so a leak or a skipped clean-up
// shows up in the run instead of being hidden by the process ending.
struct ProgramExit {
    int status;
};

// Boxes answer OK (they are counted, not shown), dialogs are cancelled,
// nothing is started, and ending the program throws ProgramExit.
class FuzzServices : public platform::Services {
public:
    platform::Answer message_box(const std::string& text, const std::string& caption,
                                 platform::Buttons buttons, platform::Icon icon) override;
    std::optional<std::string> open_file(const platform::FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;
    [[noreturn]] void exit_program(int status) override;

    std::string last_message;
};

// Installs FuzzServices for the whole run (once) and returns them.
FuzzServices& install_fuzz_services();

// A folder of its own for this process, removed with its contents at exit.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& label);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // The folder with its final "/".
    const std::string& path() const { return path_; }
    // A fresh sub-folder, with its final "/".
    std::string make_folder(const std::string& name) const;

private:
    std::string path_;
};

// The names in a folder (hidden ones included), sorted.
std::vector<std::string> entries(const std::string& folder);
// Removes everything in a folder (not the folder itself).
void empty_folder(const std::string& folder);

std::string read_bytes(const std::string& path);
void write_bytes(const std::string& path, std::string_view bytes);

// Ends the run with an abort (which the fuzzer reports as a crash, with the
// input that caused it) unless `holds`.
void check(bool holds, const std::string& what);

// A file of the bundled examples, read from the source tree.
std::string example_file(const std::string& name);

}  // namespace vekdc::fuzz
