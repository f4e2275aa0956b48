#include "platform/services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/console_services.h"
#include "platform/paths.h"

namespace vekdc::platform {

namespace {

ConsoleServices& console() {
    static ConsoleServices instance;
    return instance;
}

Services* g_installed = nullptr;

}  // namespace

void Services::exit_program(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::exit(status);
}

Services& services() {
    return g_installed != nullptr ? *g_installed : console();
}

Services* install(Services* implementation) {
    Services* previous = g_installed != nullptr ? g_installed : &console();
    g_installed = implementation;
    return previous;
}

void app_message(const std::string& text, Icon icon) {
    services().message_box(text, kAppTitle, Buttons::Ok, icon);
}

Answer encoder_message(const std::string& text, Buttons buttons) {
    return services().message_box(text, kEncoderCaption, buttons, Icon::None);
}

void exit_program(int status) {
    services().exit_program(status);
    std::abort();  // an implementation that returned broke its contract
}

void fatal_error(const std::string& text, int status) {
    app_message(text);
    exit_program(status);
}

std::string about_file(const std::string& text, const std::string& path, int error_number) {
    return about_file(text, path, error_number != 0 ? std::strerror(error_number) : "");
}

std::string about_file(const std::string& text, const std::string& path,
                       const std::string& reason) {
    // "This is not a pVEK file." reads "This is not a pVEK file: a.vek".
    std::string message = text.ends_with('.') ? text.substr(0, text.size() - 1) : text;
    message += ": " + shown_path(path);
    if (!reason.empty()) {
        message += ": " + reason;
    }
    return message;
}

}  // namespace vekdc::platform
