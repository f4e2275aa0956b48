// The one-line progress display of vekdc-cli on a terminal: files done of
// total, bytes done of total and the current file, redrawn at most ten times
// a second and erased when the run ends or other output needs the terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vekdc::cli {

// "512 B", "1.5 KiB", "3.0 GiB": one decimal from KiB on.
std::string byte_count_text(std::uint64_t bytes);

// The text of the line, at most `columns` - 1 columns wide (the last column
// stays free so that the terminal never wraps); the file name is shortened
// from the left with "…" when the line would be wider.
std::string progress_text(std::size_t files_done, std::size_t files_total, std::uint64_t bytes_done,
                          std::uint64_t bytes_total, std::string_view current, std::size_t columns);

// Columns a UTF-8 text takes on a terminal (East Asian wide characters take
// two; a byte that is not part of valid UTF-8 takes one).
std::size_t display_columns(std::string_view text);

class progress_line {
public:
    using clock = std::chrono::steady_clock;
    using sink_function = std::function<void(std::string_view)>;
    using clock_function = std::function<clock::time_point()>;

    // The least time between two drawings, and before the first one.
    static constexpr std::chrono::milliseconds kInterval{100};

    // Writes to `sink` (a terminal) the line for a run of `files` files of
    // `bytes` bytes in all, `columns` wide (80 when 0).
    progress_line(sink_function sink, clock_function now, std::size_t columns, std::size_t files,
                  std::uint64_t bytes);

    void file_started(std::string name);
    // Bytes of the current file handled so far.
    void file_progress(std::uint64_t done);
    // The current file is finished (written or refused); `size` is its size.
    void file_finished(std::uint64_t size);
    // Erases the line, if shown, so that other output starts on a clean line;
    // it comes back with the next update that the interval allows.
    void clear();

private:
    void update();

    sink_function sink_;
    clock_function now_;
    std::size_t columns_;
    std::size_t files_total_;
    std::uint64_t bytes_total_;
    std::size_t files_done_ = 0;
    std::uint64_t bytes_done_ = 0;  // of finished files
    std::uint64_t current_done_ = 0;
    std::string current_;
    clock::time_point last_;  // the last drawing, or the start
    bool shown_ = false;
};

}  // namespace vekdc::cli
