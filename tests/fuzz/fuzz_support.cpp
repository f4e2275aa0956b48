#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace vekdc::fuzz {

namespace fs = std::filesystem;

platform::Answer FuzzServices::message_box(const std::string& text, const std::string&,
                                           platform::Buttons buttons, platform::Icon) {
    last_message = text;
    return buttons == platform::Buttons::YesNo ? platform::Answer::Yes : platform::Answer::Ok;
}

std::optional<std::string> FuzzServices::open_file(const platform::FileDialogRequest&) {
    return std::nullopt;
}

void FuzzServices::run_program(const std::string&) {}

void FuzzServices::shell_open(const std::string&, const std::string&) {}

void FuzzServices::exit_program(int status) {
    throw ProgramExit{status};
}

FuzzServices& install_fuzz_services() {
    static FuzzServices* services = [] {
        auto* installed = new FuzzServices;  // lives as long as the process
        platform::install(installed);
        return installed;
    }();
    return *services;
}

ScratchFolder::ScratchFolder(const std::string& label) {
    const fs::path base = fs::temp_directory_path();
    std::string pattern = (base / ("vekdc-" + label + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = pattern + "/";
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::make_folder(const std::string& name) const {
    const std::string folder = path_ + name;
    fs::create_directories(folder);
    return folder + "/";
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void empty_folder(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        fs::remove_all(entry.path());
    }
}

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    check(static_cast<bool>(in), "cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out), "cannot write " + path);
}

void check(bool holds, const std::string& what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
        std::abort();
    }
}

std::string example_file(const std::string& name) {
    return read_bytes(std::string(VEKDC_EXAMPLES_DIR) + "/" + name);
}

}  // namespace vekdc::fuzz
