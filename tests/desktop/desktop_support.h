// A window for the desktop core's tests: every pane records what the core
// asks of it, and a run is waited for by joining its thread. With it the
// document, the tree and the panel work as in a window, without one.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/application.h"
#include "desktop/decode_panel.h"
#include "desktop/document.h"
#include "desktop/drive_tree.h"
#include "desktop/texts.h"
#include "desktop/window.h"
#include "testing/recording_services.h"

namespace vekdc::test {

// A text of the window as the tests see it, in Japanese whatever the locale.
std::string ja(desktop::text_id id);

// Settings in memory; writes are counted.
class memory_settings : public desktop::settings_store {
public:
    std::optional<std::string> read(std::string_view section, std::string_view name) override;
    void write(std::string_view section, std::string_view name, std::string_view value) override;
    void remove_section(std::string_view section) override;

    // "section/name" -> value
    std::map<std::string, std::string> values;
    int writes = 0;
};

class fake_frame : public desktop::frame_window {
public:
    void set_caption(const std::string& text) override { caption = text; }
    void set_status_text(const std::string& text) override { status.push_back(text); }
    void announce(const std::string& text) override { announced.push_back(text); }
    void reveal_decode_panel() override { ++reveals; }
    void set_document_commands_enabled(bool enabled) override { commands_enabled = enabled; }
    void close_window() override { closed = true; }

    std::string last_status() const { return status.empty() ? std::string() : status.back(); }

    std::string caption;
    std::vector<std::string> status;  // every text pane 0 was given, in order
    std::vector<std::string> announced;
    int reveals = 0;
    bool commands_enabled = true;
    bool closed = false;
};

class fake_tree : public desktop::tree_pane {
public:
    void node_inserted(desktop::node_id id) override { shown.push_back(id); }
    void node_removed(desktop::node_id id) override { std::erase(shown, id); }
    void tree_cleared() override { shown.clear(); }
    void expand_node(desktop::node_id id) override { expanded.push_back(id); }
    void set_colours(desktop::COLORREF back_colour, desktop::COLORREF text_colour) override {
        back = back_colour;
        text = text_colour;
    }
    void show_status_progress() override { ++bars; }
    void set_status_progress(int percent) override { status_progress = percent; }
    int tree_width() const override { return width; }
    int pane_width() const override { return pane; }
    int narrow_width() const override { return names_width; }
    void set_tree_width(int new_width) override {
        width = new_width;
        widths.push_back(new_width);
    }
    void set_running(bool is_running) override { running = is_running; }

    std::vector<desktop::node_id> shown;  // the nodes the model has, as told
    std::vector<desktop::node_id> expanded;
    desktop::COLORREF back = 0;
    desktop::COLORREF text = 0;
    int bars = 0;
    int status_progress = -1;
    int width = 1000;
    int pane = 1000;
    int names_width = 0;
    std::vector<int> widths;
    bool running = false;
};

class fake_panel : public desktop::decode_pane {
public:
    explicit fake_panel(const desktop::file_list& list) : m_list(list) {}

    std::string output_folder() const override { return out_dir; }
    void set_output_folder(const std::string& folder) override { out_dir = folder; }
    void show_key_path(const std::string& path) override { key_path = path; }
    std::vector<std::size_t> selected_entries() const override { return selected; }
    void set_panel_colour(desktop::rgb value) override { colour = value; }
    void set_progress(int percent) override { progress.push_back(percent); }
    void set_running(bool is_running) override { running.push_back(is_running); }
    void wait_for_run(desktop::decode_run& run) override;

    void entry_inserted(std::size_t index) override;
    void entry_removed(std::size_t index) override;
    void list_cleared() override { shown.clear(); }

    std::string out_dir;
    std::string key_path;
    std::vector<std::size_t> selected;
    desktop::rgb colour;
    std::vector<int> progress;  // every value the bar took, in order
    std::vector<bool> running;  // every change, in order
    int runs = 0;
    // The list as the observer calls made it: the paths, in order.
    std::vector<std::string> shown;

private:
    const desktop::file_list& m_list;
};

// The core's views on one document, as a window builds them, with a
// recorder for the boxes and dialogs.
class desktop_session : public desktop::app_frame {
public:
    desktop_session();
    ~desktop_session() override;

    // Creates the document and views without the application's start-up.
    void create();
    desktop::CVekDCDoc& doc() { return *m_doc; }
    desktop::drive_tree& tree() { return *m_tree; }
    desktop::decode_panel& panel() { return *m_panel; }

    void CreateMainFrame() override;
    void InitialUpdateFrame() override;
    void ShowMainWindow() override { ++shows; }

    platform::ScopedRecorder recorder;
    memory_settings settings;
    fake_frame frame;
    fake_tree tree_pane;
    std::unique_ptr<fake_panel> panel_pane;
    std::unique_ptr<desktop::application> app;
    int initial_updates = 0;
    int shows = 0;

private:
    std::unique_ptr<desktop::CVekDCDoc> m_ownDoc;
    desktop::CVekDCDoc* m_doc = nullptr;
    std::unique_ptr<desktop::drive_tree> m_tree;
    std::unique_ptr<desktop::decode_panel> m_panel;
};

}  // namespace vekdc::test
