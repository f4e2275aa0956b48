#include "desktop/document.h"

#include "desktop/decode_panel.h"
#include "desktop/file_names.h"
#include "desktop/window.h"
#include "platform/file.h"
#include "platform/services.h"

namespace vekdc::desktop {

CVekDCDoc::CVekDCDoc(settings_store& settings) : m_settings(settings) {}

bool CVekDCDoc::OnNewDocument() {
    write_new_document_settings(m_settings);
    m_bDecoding = 0;
    if (m_pDecodeView != nullptr) {
        m_pDecodeView->ChooseKeyFile();
    }
    return true;
}

bool CVekDCDoc::OnOpenDocument(const std::string& path) {
    // A folder, a pipe or a device is no document; opening a pipe would wait.
    return platform::file_status(path).kind == platform::FileKind::Regular &&
           platform::InputFile::open(path).has_value();
}

void CVekDCDoc::SetFrame(frame_window* frame) {
    m_pFrame = frame;
}

void CVekDCDoc::SetTitle(const std::string& title) {
    m_strTitle = title;
    if (m_pFrame != nullptr) {
        m_pFrame->set_caption(frame_caption(m_strTitle));
    }
}

void CVekDCDoc::SetPathName(const std::string& path) {
    m_strPathName = path.empty() ? std::string() : absolute_path(path, current_folder());
    if (!m_strPathName.empty()) {
        SetTitle(std::string(file_name_of(m_strPathName)));
    }
}

void CVekDCDoc::SetStatusText(const std::string& text) const {
    if (m_pFrame != nullptr) {
        m_pFrame->set_status_text(text);
    }
}

void CVekDCDoc::Announce(const std::string& text) const {
    if (m_pFrame != nullptr) {
        m_pFrame->announce(text);
    }
}

std::string frame_caption(const std::string& title) {
    const std::string application = platform::kAppTitle;
    return title.empty() ? application : title + " - " + application;
}

}  // namespace vekdc::desktop
