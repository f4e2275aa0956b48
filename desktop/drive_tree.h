// The drive tree without its widget: the drives, their folders and the
// encrypted files in them (names containing ".vek"), listed one level at a
// time when a node is first expanded, and the tree's commands for the
// decode panel. A window's tree (a tree_pane) shows the nodes as this model
// inserts and removes them, and passes the user's input on.
#pragma once

#include <string>
#include <vector>

#include "desktop/window.h"
#include "platform/drives.h"
#include "vekdc/version.h"

namespace vekdc::desktop {

class CVekDCDoc;

enum class node_kind { drive, folder, encrypted_file, placeholder };

struct tree_node {
    node_kind kind = node_kind::placeholder;
    std::string name;   // a drive's root path; the name of a folder or file, as the system's bytes
    std::string label;  // what the tree shows
    int image = 0;
    int selected_image = 0;
    bool filled = false;  // the folder behind the node has been listed
    node_id parent = kNoNode;
    std::vector<node_id> children;
};

class drive_tree {
public:
    static constexpr const char* kPlaceholderLabel = "DUMY";
    static constexpr const char* kCaptionPrefix =
        "Orvinta VEK Decoder Version " VEKDC_VERSION "  <<";
    static constexpr const char* kCaptionSuffix = ">>";

    // ToggleTreeWidth: steps of 10 pixels every 3 ms; narrowing stops at 200
    // pixels (at most 9 pixels less), or exactly at the width the tree's
    // names need where that is more (but never more than half the room); the
    // tree widens when the window is more than 12 pixels wider.
    static constexpr int kWidthStep = 10;
    static constexpr int kStepPauseMs = 3;
    static constexpr int kNarrowWidth = 200;
    static constexpr int kWidenThreshold = 12;

    // The keys the tree handles before its control does.
    enum class key { enter, space, f2, f5 };

    drive_tree(CVekDCDoc& document, tree_pane& pane);

    CVekDCDoc& GetDocument() const { return m_document; }
    const tree_node& node(node_id id) const { return m_nodes.at(id); }
    const std::vector<node_id>& roots() const { return m_roots; }

    // The drives once; the colours from the settings every time.
    void OnInitialUpdate();
    void FillDriveList();
    // Lists the folder behind a node, once: its subfolders and the files whose
    // names contain ".vek", names starting with "." left out, sorted together
    // by label (letter case ignored first).
    void FillChildren(node_id id);
    // The file-system path of a node, as the system's bytes: its drive's root,
    // then the names below it.
    std::string GetItemPath(node_id id) const;
    node_id GetSelectedItem() const { return m_selected; }

    // The window's notifications.
    void OnItemExpanded(node_id id);
    // The selection changed (kNoNode: none): the caption shows the label, the
    // document records the path.
    void OnSelChanged(node_id id);
    void OnKeyDown(key pressed);
    // A right double-click; `onSelectedLabel` when it hit the label of the
    // selected node (its edges count as inside).
    void OnRButtonDblClk(bool onSelectedLabel);

    // The tree's commands.
    void DecodeSelection();
    void AddSelectionToList();
    void StartPanelDecode();
    void ToggleTreeWidth();

    // The status bar's progress bar: made at the first decode request, which
    // also says "Start!". True when this call made it.
    bool ShowStatusProgress();
    void SetStatusProgress(int percent);
    void SetRunning(bool running);

    // The widths the tree takes, step by step, when F2 toggles it from
    // `current` within `total` (see kWidthStep).
    static std::vector<int> WidthSteps(int current, int total, int narrow);
    // The label of a drive: its root and its kind, e.g. "/ (HARD-DISK)" or
    // "C: (CD-ROM)".
    static std::string DriveLabel(const platform::Drive& drive);

    int m_bStatusProgressCreated = 0;
    int m_bDrivesListed = 0;

private:
    node_id Insert(node_id parent, node_kind kind, std::string name, std::string label, int image,
                   int selectedImage);
    void InsertPlaceholder(node_id parent);
    // Adds the node's path to the panel's list when it passes the encrypted-file test.
    void AddEncryptedToList(node_id id);

    CVekDCDoc& m_document;
    tree_pane& m_pane;
    std::vector<tree_node> m_nodes;
    std::vector<node_id> m_roots;
    node_id m_selected = kNoNode;
};

}  // namespace vekdc::desktop
