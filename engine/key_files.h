// Choosing and writing keys: the key-file dialog, and the groups of keys a
// job writes (a pair, a key set) with the names they get.
#pragma once

#include <string>
#include <vector>

#include "Common/matrix/matrix.h"

namespace vekdc {

// One key of a group that write_key_files() writes.
struct key_file {
    Matrix M;
    int rows;
    int cols;
    std::string name;
};
struct written_keys {
    std::vector<std::string> paths;  // where each key is, in the order given
    std::string suffix;              // what every name got: "" or "_TICK"
};
// Writes keys that belong together (a pair, a key set) into folder + name:
// all of them appear, or none does; a process killed between two of them
// leaves a marker from which the next writer into the folder removes the
// part that appeared. Every name gets the same suffix. A group that cannot
// be written ends the program (status 1).
written_keys write_key_files(const std::vector<key_file>& keys, const std::string& folder);

// Ends the program as an unwritable key would, naming folder + name, when
// the folder does not exist: for a road that writes its keys at its end.
void require_key_folder(const std::string& folder, const std::string& name);

// A key read from a file the user picks in the key-file dialog: the matrix;
// or no matrix and the chosen path when that file could not be opened (the
// reader has reported it by name and reason); or no matrix and no path when
// the dialog was cancelled.
struct ChosenMatrix {
    MatrixPtr matrix;
    std::string path;
};
ChosenMatrix choose_and_read_matrix(int rows, int cols);

}  // namespace vekdc
