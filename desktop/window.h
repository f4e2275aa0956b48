// What a window implements for the desktop core.
//
// The core (this folder) holds everything of VekDC's desktop program that is
// not a widget: the document, the input list, the decode run with its key
// cache, the drive tree's model and commands, the settings, the dialog
// templates, the texts and the command line. A window (window/qt on Linux,
// window/win32 on Windows) shows them and passes the user's input on. It
// provides:
//
// - a settings_store (desktop/settings.h) for the application object;
// - an app_frame: creates the main window with its two panes, and updates
//   and shows it when the core says so (desktop/application.h runs the
//   start-up sequence, new and open);
// - a frame_window: the main window's caption and status bar;
// - a tree_pane: shows the drive tree's nodes as the model inserts and
//   removes them, passes on expansion, selection, keys and the right
//   double-click to desktop::drive_tree, and carries the status bar's
//   progress bar;
// - a decode_pane: shows the panel's form (desktop/dialogs.h), the input list
//   (a list_observer), the output folder and key path; its buttons call
//   desktop::decode_panel; during a run it keeps the window alive in its own
//   event loop until the run's `finished` callback wakes it (wait_for_run).
//
// Message boxes and file dialogs are not asked of the window: the core shows
// them through platform::services(), which each window installs (and, for
// the time of a run, wraps so that a call from the worker thread is carried
// out on the window's thread while the worker waits).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "desktop/file_list.h"
#include "desktop/settings.h"

namespace vekdc::desktop {

class decode_run;

// A node of the drive tree (desktop/drive_tree.h): an index that stays valid
// as long as the tree is not filled anew.
using node_id = std::size_t;
inline constexpr node_id kNoNode = static_cast<node_id>(-1);

class app_frame {
public:
    virtual ~app_frame() = default;
    // Creates the main window with the tree pane first and the panel second,
    // each adding its core view to the document (CVekDCDoc::AddView) and the
    // frame itself (CVekDCDoc::SetFrame).
    virtual void CreateMainFrame() = 0;
    // Runs the panes' initial update: drive_tree::OnInitialUpdate and
    // decode_panel::OnInitialUpdate, in this order.
    virtual void InitialUpdateFrame() = 0;
    virtual void ShowMainWindow() = 0;
};

class frame_window {
public:
    // Command identifiers of the menu and the accelerator table.
    enum command : int {
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE = 57603,
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        ID_EDIT_UNDO = 57643,
        ID_APP_ABOUT = 57664,
        ID_NEXT_PANE = 57680,
        ID_PREV_PANE = 57681,
    };
    // Pane 0 of the status bar takes messages; panes 1 to 4 are the lock keys.
    static constexpr int kStatusPaneCount = 5;

    virtual ~frame_window() = default;
    // The caption exactly as given.
    virtual void set_caption(const std::string& text) = 0;
    // Pane 0 of the status bar, drawn at once (a run may hold the window's thread).
    virtual void set_status_text(const std::string& text) = 0;
    // Tells a screen reader what just happened (files added, a run's end, a
    // cancel), without changing what the window shows.
    virtual void announce(const std::string& text) = 0;
    // Narrows the tree so that the decode panel shows, if it is collapsed.
    virtual void reveal_decode_panel() = 0;
    // While a run is active, new and open (which would start the document
    // again under the running job) are off.
    virtual void set_document_commands_enabled(bool enabled) = 0;
    // Closes the main window (after a run that a close request cancelled).
    virtual void close_window() = 0;
};

class tree_pane {
public:
    // The tree's pictures, in this order.
    enum image : int {
        kImageDrive = 0,
        kImageDriveSelected = 1,
        kImageFolder = 2,
        kImageFolderSelected = 3,
        kImageEncrypted = 4,
        kImageEncryptedSelected = 5,
        kImageRemovable = 6,
        kImageRemovableSelected = 7,
        kImageCdRom = 8,
        kImageCdRomSelected = 9,
    };

    virtual ~tree_pane() = default;
    // The node is now in the model: a root when its parent is kNoNode, else
    // the child of its parent at its place in the parent's children.
    virtual void node_inserted(node_id id) = 0;
    // The node has left the model (with its children, which have none here).
    virtual void node_removed(node_id id) = 0;
    // Every node has left the model.
    virtual void tree_cleared() = 0;
    // Shows the node expanded; its children are in the model already.
    virtual void expand_node(node_id id) = 0;
    // The tree's background and text; kDefaultColour: the system's colour.
    virtual void set_colours(COLORREF back, COLORREF text) = 0;
    // The status bar's progress bar, at the first decode request of the run.
    virtual void show_status_progress() = 0;
    virtual void set_status_progress(int percent) = 0;
    // The F2 animation: the tree's width, the width the tree and the panel
    // share, the narrowed width (wide enough for the names the tree shows),
    // and one step, drawn at once.
    virtual int tree_width() const = 0;
    virtual int pane_width() const = 0;
    virtual int narrow_width() const = 0;
    virtual void set_tree_width(int width) = 0;
    // The tree takes no input while a run is active.
    virtual void set_running(bool running) = 0;
};

class decode_pane : public list_observer {
public:
    // Control identifiers of the panel's form (desktop/dialogs.h).
    enum control : int {
        IDC_SET_OUT_DIR = 1001,   // "→出力先に指定"
        IDC_DELETE_ITEMS = 1002,  // "－項目を削除"
        IDC_FILE_LIST = 1003,     // the input file list
        IDC_DECODE = 1004,        // "！デコード実行"
        IDC_PROGRESS = 1005,      // run progress
        IDC_ADD_TO_LIST = 1006,   // "→リストに追加"
        IDC_CLEAR_LIST = 1007,    // "×初期化"
        IDC_OUT_DIR = 1008,       // the output folder
        IDC_SET_KEY = 1009,       // "キーの設定"
        IDC_KEY_PATH = 1010,      // the key file path
        IDC_CANCEL = 1011,        // "中止", in the decode button's place while a run is active
    };

    // The text of the output-folder box, and setting it.
    virtual std::string output_folder() const = 0;
    virtual void set_output_folder(const std::string& folder) = 0;
    virtual void show_key_path(const std::string& path) = 0;
    // The indexes of the list's selected entries.
    virtual std::vector<std::size_t> selected_entries() const = 0;
    // The panel's background and the surroundings of its buttons and label;
    // edit boxes and the list keep the system's colours.
    virtual void set_panel_colour(rgb colour) = 0;
    // The panel's progress bar (the status bar's follows through the tree).
    virtual void set_progress(int percent) = 0;
    // While a run is active only 中止 (and Esc) take input; the window still
    // repaints and shows the run's boxes.
    virtual void set_running(bool running) = 0;
    // Starts the run with run.start(), keeps the window alive until the
    // `finished` callback has been called, then joins it. Meanwhile it shows
    // the run's progress about ten times a second (decode_panel::ShowRunProgress)
    // and has platform::services() carried out on the window's thread.
    virtual void wait_for_run(decode_run& run) = 0;
};

}  // namespace vekdc::desktop
