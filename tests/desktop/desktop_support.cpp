#include "tests/desktop/desktop_support.h"

#include <gtest/gtest.h>

namespace vekdc::test {

namespace {

std::string key(std::string_view section, std::string_view name) {
    return std::string(section) + '/' + std::string(name);
}

}  // namespace

std::string ja(desktop::text_id id) {
    return std::string(desktop::text_in(platform::Language::Japanese, id));
}

std::optional<std::string> memory_settings::read(std::string_view section, std::string_view name) {
    const auto found = values.find(key(section, name));
    return found != values.end() ? std::optional(found->second) : std::nullopt;
}

void memory_settings::write(std::string_view section, std::string_view name,
                            std::string_view value) {
    values[key(section, name)] = std::string(value);
    ++writes;
}

void memory_settings::remove_section(std::string_view section) {
    const std::string prefix = std::string(section) + '/';
    std::erase_if(values, [&](const auto& entry) { return entry.first.starts_with(prefix); });
    ++writes;
}

void fake_panel::wait_for_run(desktop::decode_run& run) {
    ++runs;
    run.start([] {});
    run.join();
}

void fake_panel::entry_inserted(std::size_t index) {
    ASSERT_LE(index, shown.size());
    shown.insert(shown.begin() + static_cast<std::ptrdiff_t>(index), m_list.at(index).path);
}

void fake_panel::entry_removed(std::size_t index) {
    ASSERT_LT(index, shown.size());
    shown.erase(shown.begin() + static_cast<std::ptrdiff_t>(index));
}

desktop_session::desktop_session() {
    app = std::make_unique<desktop::application>(settings);
}

desktop_session::~desktop_session() = default;

void desktop_session::create() {
    m_ownDoc = std::make_unique<desktop::CVekDCDoc>(settings);
    m_doc = m_ownDoc.get();
    CreateMainFrame();
}

void desktop_session::CreateMainFrame() {
    if (m_doc == nullptr) {
        m_doc = app->GetDocument();
    }
    m_doc->SetFrame(&frame);
    m_tree = std::make_unique<desktop::drive_tree>(*m_doc, tree_pane);
    panel_pane = std::make_unique<fake_panel>(m_doc->m_fileList);
    m_panel = std::make_unique<desktop::decode_panel>(*m_doc, *panel_pane);
    m_doc->AddView(m_tree.get());
    m_doc->AddView(m_panel.get());
}

void desktop_session::InitialUpdateFrame() {
    ++initial_updates;
    m_tree->OnInitialUpdate();
    m_panel->OnInitialUpdate();
}

}  // namespace vekdc::test
