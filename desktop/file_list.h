// The input file list of the decode panel: each file once (letter case
// ignored), kept sorted, with a label that shows the file's name before its
// folder. A window shows it in its list control and hears of every change
// through list_observer.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vekdc::desktop {

struct list_entry {
    std::string path;    // the file's path as the system's bytes
    std::string shown;   // the same path as text (display_name)
    std::string folded;  // `shown` with its letter case folded: the sort key
};

// Told of every change of a file_list, in the order they happen.
class list_observer {
public:
    virtual ~list_observer() = default;
    virtual void entry_inserted(std::size_t index) = 0;
    virtual void entry_removed(std::size_t index) = 0;
    virtual void list_cleared() = 0;
};

// What adding dropped or named paths did.
struct add_result {
    std::size_t added = 0;
    std::size_t ignored = 0;  // neither a file nor a folder (missing, a pipe, a device, ...)
};

class file_list {
public:
    void set_observer(list_observer* observer) { m_observer = observer; }

    // Adds a path unless an entry equal to it, letter case ignored, is there
    // already; the list stays sorted (case folded first, then as written).
    // Whatever the path names is taken, even an empty one. True when added.
    bool add(std::string path);
    // Paths given by the desktop (dropped, or named with --add): a regular
    // file is added as with add(); a folder gives its own files whose paths
    // pass the encrypted-file test, as Enter on a folder in the tree does
    // (names starting with "." left out, subfolders not entered); anything
    // else, an empty path included, is ignored.
    add_result add_paths(const std::vector<std::string>& paths);
    // Removes the entries at these indexes (in any order; an index given twice
    // or out of range counts once or not at all), from the last to the first.
    void remove(std::vector<std::size_t> indexes);
    void clear();

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const list_entry& at(std::size_t index) const { return m_entries.at(index); }
    const std::vector<list_entry>& entries() const { return m_entries; }
    std::vector<std::string> paths() const;

    // How a list shows an entry: its file name, then its folder.
    static std::string label(const list_entry& entry);

private:
    // The "only once" rule: the folded text of a UTF-8 path, the bytes of any other.
    static std::string identity(const std::string& path, const std::string& folded);

    std::vector<list_entry> m_entries;
    std::set<std::string> m_index;
    list_observer* m_observer = nullptr;
};

}  // namespace vekdc::desktop
