// The platform services for the desktop: QMessageBox, QFileDialog and the
// desktop's opener stand in for the message boxes, the common file dialog and
// the program starts of the cipher core.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/services.h"

namespace vekdc::platform {

class QtServices : public Services {
public:
    Answer message_box(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) override;
    std::optional<std::string> open_file(const FileDialogRequest& request) override;
    void run_program(const std::string& command_line) override;
    void shell_open(const std::string& path, const std::string& working_dir) override;
    // Writes pending settings to disk first: the process may end at any moment.
    [[noreturn]] void exit_program(int status) override;
};

// Qt name filters for a filter given either as "label|patterns|...||" pairs or
// as one label with its patterns in parentheses. "*.*" (every file) becomes "*".
QStringList qt_name_filters(const std::string& filter);

}  // namespace vekdc::platform
