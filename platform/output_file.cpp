// What an output file does the same on every system: it owns its handle
// and its hidden temporary, and a file given up before it is published
// leaves nothing behind (each back end's discard() says how).
#include <utility>

#include "platform/file.h"

namespace vekdc::platform {

OutputFile::OutputFile(OutputFile&& other) noexcept
    : handle_(std::move(other.handle_)), temp_path_(std::move(other.temp_path_)) {
    other.temp_path_.clear();
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        discard();
        handle_ = std::move(other.handle_);
        temp_path_ = std::move(other.temp_path_);
        other.temp_path_.clear();
    }
    return *this;
}

OutputFile::~OutputFile() {
    discard();
}

}  // namespace vekdc::platform
