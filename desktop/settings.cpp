#include "desktop/settings.h"

#include <algorithm>

namespace vekdc::desktop {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

COLORREF colour_setting(settings_store& store, std::string_view name, std::string_view fallback,
                        COLORREF initial) {
    std::string text = store.read(kTreeSection, name).value_or(std::string());
    if (text.empty()) {
        text = fallback;
        store.write(kTreeSection, name, text);
    }
    return scan_hex_colour(text).value_or(initial);
}

std::string recent_entry(int number) {
    return "File" + std::to_string(number);
}

}  // namespace

std::optional<COLORREF> scan_hex_colour(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // "0x" counts as a prefix only when a digit follows; a lone "0" is the number 0.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hex_digit(text[i + 2]) >= 0) {
        i += 2;
    }
    COLORREF value = 0;
    bool any = false;
    for (; i < text.size() && hex_digit(text[i]) >= 0; ++i) {
        value = (value << 4) | static_cast<COLORREF>(hex_digit(text[i]));
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return negative ? static_cast<COLORREF>(0u - value) : value;
}

tree_colours read_tree_colours(settings_store& store) {
    const tree_colours builtin;
    return tree_colours{
        colour_setting(store, kBackColourEntry, kDefaultBackColourText, builtin.back),
        colour_setting(store, kTextColourEntry, kDefaultTextColourText, builtin.text)};
}

void write_new_document_settings(settings_store& store) {
    store.write(kDocumentSection, kHomeDirEntry, kHomeDirValue);
}

recent_file_list::recent_file_list(settings_store& store, int size) : m_store(store), m_size(size) {
    for (int i = 1; i <= m_size; ++i) {
        auto path = m_store.read(kRecentFileSection, recent_entry(i));
        if (path && !path->empty()) {
            m_files.push_back(std::move(*path));
        }
    }
}

void recent_file_list::add(const std::string& path) {
    std::erase(m_files, path);
    m_files.insert(m_files.begin(), path);
    if (m_files.size() > static_cast<std::size_t>(m_size)) {
        m_files.resize(static_cast<std::size_t>(m_size));
    }
    m_store.remove_section(kRecentFileSection);
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        m_store.write(kRecentFileSection, recent_entry(static_cast<int>(i) + 1), m_files[i]);
    }
}

}  // namespace vekdc::desktop
