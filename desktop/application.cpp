#include "desktop/application.h"

#include <algorithm>
#include <cctype>

#include "desktop/file_names.h"
#include "desktop/texts.h"
#include "desktop/window.h"
#include "platform/services.h"

namespace vekdc::desktop {

namespace {

// Options of the class library's command-line parser. On this system a path
// may start with '/', so only these names count as options after a '/'.
constexpr std::string_view kSlashOptions[] = {"Embedding",  "Automation",  "p",        "pt", "dde",
                                              "Unregister", "Unregserver", "Regserver"};

bool same_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

application::application(settings_store& settings)
    : m_settings(settings), m_recentFiles(settings, kRecentFileCount) {}

application::~application() = default;

bool application::IsOption(const std::string& argument) {
    if (argument.size() < 2) {
        return false;
    }
    if (argument.front() == '-') {
        return true;
    }
    if (argument.front() != '/') {
        return false;
    }
    const std::string_view name = std::string_view(argument).substr(1);
    return std::any_of(std::begin(kSlashOptions), std::end(kSlashOptions),
                       [&](std::string_view option) { return same_ignoring_case(name, option); });
}

bool application::IsAutomationOption(const std::string& argument) {
    if (argument.size() < 2 || (argument.front() != '/' && argument.front() != '-')) {
        return false;
    }
    const std::string_view name = std::string_view(argument).substr(1);
    return same_ignoring_case(name, "Embedding") || same_ignoring_case(name, "Automation");
}

bool application::InitInstance(const std::vector<std::string>& arguments, app_frame& frame) {
    std::string fileName;
    bool automation = false;
    for (const std::string& argument : arguments) {
        if (IsOption(argument)) {
            automation = automation || IsAutomationOption(argument);
        } else if (fileName.empty()) {
            fileName = argument;
        }
    }
    if (automation) {
        // Started for automation: no window, no document. This system has no
        // automation clients, so the program ends here.
        m_exitCode = 0;
        return false;
    }

    m_pFrame = &frame;
    m_pDocument = std::make_unique<CVekDCDoc>(m_settings);
    frame.CreateMainFrame();
    if (!fileName.empty()) {
        if (!OpenDocumentFile(fileName)) {
            m_exitCode = 1;
            return false;
        }
    } else {
        m_pDocument->SetTitle(std::string(text(text_id::untitled)));
        m_pDocument->OnNewDocument();
        frame.InitialUpdateFrame();
    }
    frame.ShowMainWindow();
    return true;
}

void application::OnFileNew() {
    if (!m_pDocument) {
        return;
    }
    m_pDocument->SetPathName(std::string());
    m_pDocument->SetTitle(std::string(text(text_id::untitled)));
    m_pDocument->OnNewDocument();
    m_pFrame->InitialUpdateFrame();
}

void application::OnFileOpen() {
    if (!m_pDocument) {
        return;
    }
    platform::FileDialogRequest request;
    request.filter = text(text_id::all_files_filter);
    if (const auto chosen = platform::services().open_file(request)) {
        OpenDocumentFile(*chosen);
    }
}

bool application::OpenDocumentFile(const std::string& path) {
    if (!m_pDocument->OnOpenDocument(path)) {
        platform::app_message(format(text_id::cannot_open_document, {display_name(path)}));
        return false;
    }
    m_pDocument->SetPathName(path);
    m_recentFiles.add(m_pDocument->GetPathName());
    m_pFrame->InitialUpdateFrame();
    return true;
}

void show_keys() {
    platform::services().message_box(std::string(text(text_id::keys_help)),
                                     std::string(text(text_id::keys_title)), platform::Buttons::Ok,
                                     platform::Icon::Information);
}

}  // namespace vekdc::desktop
