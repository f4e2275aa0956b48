#include "desktop/drive_tree.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "desktop/decode_panel.h"
#include "desktop/document.h"
#include "desktop/file_names.h"
#include "desktop/texts.h"
#include "platform/folders.h"
#include "platform/language.h"
#include "platform/paths.h"
#include "platform/services.h"
#include "platform/unicode.h"

namespace vekdc::desktop {

namespace {

struct drive_kind_entry {
    platform::DriveKind kind;
    const char* name;
    int image;
};

constexpr drive_kind_entry kDriveKinds[] = {
    {platform::DriveKind::Removable, "REMOVABLE", tree_pane::kImageRemovable},
    {platform::DriveKind::HardDisk, "HARD-DISK", tree_pane::kImageDrive},
    {platform::DriveKind::Remote, "REMOTE", tree_pane::kImageRemovable},
    {platform::DriveKind::CdRom, "CD-ROM", tree_pane::kImageCdRom},
    {platform::DriveKind::Other, "ETC-DRIVE", tree_pane::kImageDrive},
};

const drive_kind_entry& kind_entry(platform::DriveKind kind) {
    for (const drive_kind_entry& entry : kDriveKinds) {
        if (entry.kind == kind) {
            return entry;
        }
    }
    return kDriveKinds[4];
}

// A label with its sort key: letter case ignored first, then respected.
struct sorted_label {
    std::string folded;
    std::string label;
    bool operator<(const sorted_label& other) const {
        return folded != other.folded ? folded < other.folded : label < other.label;
    }
};

sorted_label sort_key(const std::string& label) {
    return sorted_label{platform::fold_case(label), label};
}

}  // namespace

drive_tree::drive_tree(CVekDCDoc& document, tree_pane& pane) : m_document(document), m_pane(pane) {}

std::string drive_tree::DriveLabel(const platform::Drive& drive) {
    std::string root = drive.root;
    // "C:\" shows as "C:", as drive letters are written.
    if (root.size() == 3 && root[1] == ':' && (root[2] == '\\' || root[2] == '/')) {
        root.pop_back();
    }
    return root + " (" + kind_entry(drive.kind).name + ")";
}

void drive_tree::OnInitialUpdate() {
    if (m_bDrivesListed == 0) {
        FillDriveList();
        m_bDrivesListed = 1;
    }
    // Applied again at every new document.
    const tree_colours colours = read_tree_colours(m_document.GetSettings());
    m_pane.set_colours(colours.back, colours.text);
}

node_id drive_tree::Insert(node_id parent, node_kind kind, std::string name, std::string label,
                           int image, int selectedImage) {
    const node_id id = m_nodes.size();
    tree_node node;
    node.kind = kind;
    node.name = std::move(name);
    node.label = std::move(label);
    node.image = image;
    node.selected_image = selectedImage;
    node.parent = parent;
    m_nodes.push_back(std::move(node));
    (parent == kNoNode ? m_roots : m_nodes[parent].children).push_back(id);
    m_pane.node_inserted(id);
    return id;
}

void drive_tree::InsertPlaceholder(node_id parent) {
    Insert(parent, node_kind::placeholder, std::string(), kPlaceholderLabel, tree_pane::kImageDrive,
           tree_pane::kImageDrive);
}

void drive_tree::FillDriveList() {
    m_nodes.clear();
    m_roots.clear();
    m_selected = kNoNode;
    m_pane.tree_cleared();
    std::vector<std::pair<sorted_label, platform::Drive>> drives;
    for (platform::Drive& drive : platform::list_drives()) {
        drives.emplace_back(sort_key(DriveLabel(drive)), std::move(drive));
    }
    std::stable_sort(drives.begin(), drives.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [key, drive] : drives) {
        const int image = kind_entry(drive.kind).image;
        const node_id id =
            Insert(kNoNode, node_kind::drive, drive.root, key.label, image, image + 1);
        InsertPlaceholder(id);
    }
}

void drive_tree::FillChildren(node_id id) {
    if (id == kNoNode || m_nodes.at(id).filled) {
        return;
    }
    m_nodes[id].filled = true;
    std::vector<node_id>& children = m_nodes[id].children;
    if (!children.empty()) {
        const node_id placeholder = children.front();
        children.erase(children.begin());
        m_pane.node_removed(placeholder);
    }

    struct entry {
        sorted_label key;
        std::string name;
        bool folder;
    };
    std::vector<entry> entries;
    // Names are read as bytes: one that is not UTF-8 is listed all the same.
    // A file, or a folder that cannot be read, yields no entries.
    for (platform::FolderEntry& found :
         platform::list_folder(GetItemPath(id)).value_or(std::vector<platform::FolderEntry>{})) {
        const bool folder = found.kind == platform::FolderEntry::Kind::Folder;
        if (found.name.front() == '.' || !(folder || is_encrypted_path(found.name))) {
            continue;
        }
        entries.push_back(entry{sort_key(display_name(found.name)), std::move(found.name), folder});
    }
    std::sort(entries.begin(), entries.end(),
              [](const entry& a, const entry& b) { return a.key < b.key; });
    for (entry& found : entries) {
        const node_id child =
            found.folder
                ? Insert(id, node_kind::folder, std::move(found.name), std::move(found.key.label),
                         tree_pane::kImageFolder, tree_pane::kImageFolderSelected)
                : Insert(id, node_kind::encrypted_file, std::move(found.name),
                         std::move(found.key.label), tree_pane::kImageEncrypted,
                         tree_pane::kImageEncryptedSelected);
        InsertPlaceholder(child);
    }
}

std::string drive_tree::GetItemPath(node_id id) const {
    if (id == kNoNode) {
        return std::string();
    }
    std::vector<const std::string*> names;
    node_id at = id;
    while (m_nodes.at(at).parent != kNoNode) {
        names.push_back(&m_nodes[at].name);
        at = m_nodes[at].parent;
    }
    std::string path = m_nodes[at].name;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        path = join_path(path, **name);
    }
    return path;
}

void drive_tree::OnItemExpanded(node_id id) {
    FillChildren(id);
}

void drive_tree::OnSelChanged(node_id id) {
    m_selected = id;
    if (id != kNoNode && m_document.m_pFrame != nullptr) {
        m_document.m_pFrame->set_caption(kCaptionPrefix + m_nodes.at(id).label + kCaptionSuffix);
    }
    m_document.m_strSelectedPath = GetItemPath(id);
}

void drive_tree::OnKeyDown(key pressed) {
    struct key_command {
        key pressed;
        void (drive_tree::*command)();
    };
    static constexpr key_command kKeys[] = {
        {key::enter, &drive_tree::DecodeSelection},
        {key::space, &drive_tree::AddSelectionToList},
        {key::f2, &drive_tree::ToggleTreeWidth},
        {key::f5, &drive_tree::StartPanelDecode},
    };
    for (const key_command& entry : kKeys) {
        if (entry.pressed == pressed) {
            (this->*entry.command)();
        }
    }
}

void drive_tree::AddEncryptedToList(node_id id) {
    const std::string path = GetItemPath(id);
    if (id != kNoNode && is_encrypted_path(path) && m_document.m_pDecodeView != nullptr) {
        m_document.m_pDecodeView->AddFileToList(path);
    }
}

void drive_tree::AddSelectionToList() {
    const std::string path = GetItemPath(m_selected);
    if (m_selected != kNoNode && is_encrypted_path(path) && m_document.m_pDecodeView != nullptr) {
        m_document.m_pDecodeView->AddAndAnnounce(path);
    }
}

void drive_tree::StartPanelDecode() {
    if (m_document.m_pDecodeView != nullptr) {
        m_document.m_pDecodeView->StartDecode();
    }
}

void drive_tree::DecodeSelection() {
    const node_id selected = m_selected;
    AddEncryptedToList(selected);
    if (selected == kNoNode) {
        platform::app_message("NULL ");
    } else {
        // Expanding lists the folder (once); only its direct children are collected.
        FillChildren(selected);
        m_pane.expand_node(selected);
        const std::vector<node_id> children = m_nodes[selected].children;
        for (const node_id child : children) {
            AddEncryptedToList(child);
        }
    }
    StartPanelDecode();
}

void drive_tree::OnRButtonDblClk(bool onSelectedLabel) {
    if (m_document.m_bDecoding != 0) {
        platform::services().message_box(std::string(text(text_id::busy)),
                                         platform::notice(platform::kDecoderCaption),
                                         platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    if (m_selected == kNoNode || !onSelectedLabel) {
        return;
    }
    const std::string path = GetItemPath(m_selected);
    if (is_encrypted_path(path)) {
        DecodeSelection();
        return;
    }
    const std::string question = format(text_id::decode_folder_question, {display_name(path)});
    if (platform::services().message_box(question, platform::kAppTitle, platform::Buttons::YesNo,
                                         platform::Icon::Question) == platform::Answer::Yes) {
        DecodeSelection();
    }
}

std::vector<int> drive_tree::WidthSteps(int current, int total, int narrow) {
    std::vector<int> steps;
    if (total > current + kWidenThreshold) {
        while (current < total) {
            current += kWidthStep;
            steps.push_back(current);
        }
    } else {
        while (current > narrow) {
            current -= kWidthStep;
            // The tree's names are not cut: a width they need is kept exactly.
            if (narrow > kNarrowWidth) {
                current = std::max(current, narrow);
            }
            steps.push_back(current);
        }
    }
    return steps;
}

void drive_tree::ToggleTreeWidth() {
    // Wide enough for the names the tree shows, but never more than half the
    // room: the panel must appear.
    const int narrow =
        std::max(kNarrowWidth, std::min(m_pane.narrow_width(), m_pane.pane_width() / 2));
    for (const int width : WidthSteps(m_pane.tree_width(), m_pane.pane_width(), narrow)) {
        m_pane.set_tree_width(width);
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepPauseMs));
    }
}

bool drive_tree::ShowStatusProgress() {
    if (m_bStatusProgressCreated != 0) {
        return false;
    }
    m_bStatusProgressCreated = 1;
    m_pane.show_status_progress();
    m_document.SetStatusText("Start!");
    return true;
}

void drive_tree::SetStatusProgress(int percent) {
    m_pane.set_status_progress(percent);
}

void drive_tree::SetRunning(bool running) {
    m_pane.set_running(running);
}

}  // namespace vekdc::desktop
