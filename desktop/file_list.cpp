#include "desktop/file_list.h"

#include <algorithm>
#include <functional>

#include "desktop/file_names.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/unicode.h"

namespace vekdc::desktop {

namespace {

// Sorted order: letter case ignored first, then respected.
bool sorts_before(const list_entry& a, const list_entry& b) {
    if (a.folded != b.folded) {
        return a.folded < b.folded;
    }
    return a.shown < b.shown;
}

}  // namespace

std::string file_list::identity(const std::string& path, const std::string& folded) {
    // A name that is not UTF-8 is only ever equal to its own bytes.
    return is_utf8(path) ? folded : std::string(1, '\x01') + path;
}

bool file_list::add(std::string path) {
    list_entry entry;
    entry.shown = display_name(path);
    entry.folded = platform::fold_case(entry.shown);
    if (!m_index.insert(identity(path, entry.folded)).second) {
        return false;
    }
    entry.path = std::move(path);
    const auto place = std::upper_bound(m_entries.begin(), m_entries.end(), entry, sorts_before);
    const auto index = static_cast<std::size_t>(place - m_entries.begin());
    m_entries.insert(place, std::move(entry));
    if (m_observer != nullptr) {
        m_observer->entry_inserted(index);
    }
    return true;
}

add_result file_list::add_paths(const std::vector<std::string>& paths) {
    add_result result;
    for (const std::string& path : paths) {
        const platform::FileKind kind =
            path.empty() ? platform::FileKind::Missing : platform::file_status(path).kind;
        if (kind == platform::FileKind::Regular) {
            result.added += add(path) ? 1 : 0;
        } else if (kind == platform::FileKind::Folder) {
            for (const platform::FolderEntry& entry :
                 platform::list_folder(path).value_or(std::vector<platform::FolderEntry>{})) {
                const std::string file = join_path(path, entry.name);
                if (entry.name.front() != '.' && entry.kind == platform::FolderEntry::Kind::File &&
                    is_encrypted_path(file)) {
                    result.added += add(file) ? 1 : 0;
                }
            }
        } else {
            ++result.ignored;
        }
    }
    return result;
}

void file_list::remove(std::vector<std::size_t> indexes) {
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (const std::size_t index : indexes) {
        if (index >= m_entries.size()) {
            continue;
        }
        const list_entry& entry = m_entries[index];
        m_index.erase(identity(entry.path, entry.folded));
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
        if (m_observer != nullptr) {
            m_observer->entry_removed(index);
        }
    }
}

void file_list::clear() {
    m_entries.clear();
    m_index.clear();
    if (m_observer != nullptr) {
        m_observer->list_cleared();
    }
}

std::vector<std::string> file_list::paths() const {
    std::vector<std::string> paths;
    paths.reserve(m_entries.size());
    for (const list_entry& entry : m_entries) {
        paths.push_back(entry.path);
    }
    return paths;
}

std::string file_list::label(const list_entry& entry) {
    const std::string_view name = file_name_of(entry.shown);
    const std::string_view folder = folder_of_path(entry.shown);
    if (folder.empty()) {
        return std::string(name);
    }
    return std::string(name) + " \u2014 " + std::string(folder);
}

}  // namespace vekdc::desktop
