#include "cli/progress.h"

#include "platform/paths.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>
#include <vector>

namespace vekdc::cli {

namespace {

constexpr std::string_view kEllipsis = "…";
constexpr std::string_view kEraseToEnd = "\x1b[K";

// Code points that terminals draw two columns wide (East Asian Wide and
// Fullwidth blocks).
constexpr std::array<std::pair<char32_t, char32_t>, 10> kWideRanges = {{
    {0x1100, 0x115F},    // Hangul Jamo initials
    {0x2E80, 0x303E},    // CJK radicals, punctuation
    {0x3041, 0x33FF},    // kana, CJK compatibility
    {0x3400, 0x4DBF},    // CJK extension A
    {0x4E00, 0x9FFF},    // CJK unified ideographs
    {0xA000, 0xA4CF},    // Yi
    {0xAC00, 0xD7A3},    // Hangul syllables
    {0xF900, 0xFAFF},    // CJK compatibility ideographs
    {0xFF00, 0xFF60},    // fullwidth forms
    {0x20000, 0x3FFFD},  // CJK extensions B and later
}};

bool is_wide(char32_t c) {
    return std::any_of(kWideRanges.begin(), kWideRanges.end(),
                       [c](const auto& range) { return c >= range.first && c <= range.second; }) ||
           (c >= 0xFFE0 && c <= 0xFFE6);
}

// One character of a UTF-8 text: where it starts, how many bytes it has and
// how many columns it takes.
struct glyph {
    std::size_t offset;
    std::size_t length;
    std::size_t columns;
};

// The length of a valid UTF-8 sequence at the start of `text` and its code
// point, or length 0 when the first byte does not start one.
std::pair<std::size_t, char32_t> decode_one(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        return {1, lead};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
    } else {
        return {0, 0};
    }
    if (text.size() < length) {
        return {0, 0};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {0, 0};
        }
        c = (c << 6) | (byte(i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return {0, 0};
    }
    return {length, c};
}

std::vector<glyph> glyphs_of(std::string_view text) {
    std::vector<glyph> glyphs;
    for (std::size_t offset = 0; offset < text.size();) {
        const auto [length, c] = decode_one(text.substr(offset));
        if (length == 0) {
            glyphs.push_back({offset, 1, 1});
            ++offset;
            continue;
        }
        glyphs.push_back({offset, length, is_wide(c) ? 2u : 1u});
        offset += length;
    }
    return glyphs;
}

// The end of `text` that fits in `columns`, after an ellipsis when cut.
std::string tail_within(const std::string& text, std::size_t columns) {
    const std::vector<glyph> glyphs = glyphs_of(text);
    std::size_t total = 0;
    for (const glyph& g : glyphs) {
        total += g.columns;
    }
    if (total <= columns) {
        return text;
    }
    if (columns == 0) {
        return std::string();
    }
    std::size_t used = 1;  // the ellipsis
    std::size_t start = text.size();
    for (auto g = glyphs.rbegin(); g != glyphs.rend() && used + g->columns <= columns; ++g) {
        used += g->columns;
        start = g->offset;
    }
    return std::string(kEllipsis) + text.substr(start);
}

}  // namespace

std::size_t display_columns(std::string_view text) {
    std::size_t columns = 0;
    for (const glyph& g : glyphs_of(text)) {
        columns += g.columns;
    }
    return columns;
}

std::string byte_count_text(std::uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string progress_text(std::size_t files_done, std::size_t files_total, std::uint64_t bytes_done,
                          std::uint64_t bytes_total, std::string_view current,
                          std::size_t columns) {
    const std::size_t width = columns > 1 ? columns - 1 : 0;
    std::string line = std::to_string(files_done) + "/" + std::to_string(files_total) + " files, " +
                       byte_count_text(bytes_done) + " of " + byte_count_text(bytes_total);
    if (line.size() >= width) {
        line.resize(width);  // the counts are ASCII
        return line;
    }
    if (!current.empty()) {
        line += "  ";
        line += tail_within(platform::shown_path(current), width - std::min(width, line.size()));
    }
    return line;
}

progress_line::progress_line(sink_function sink, clock_function now, std::size_t columns,
                             std::size_t files, std::uint64_t bytes)
    : sink_(std::move(sink)),
      now_(std::move(now)),
      columns_(columns == 0 ? 80 : columns),
      files_total_(files),
      bytes_total_(bytes),
      last_(now_()) {}

void progress_line::file_started(std::string name) {
    current_ = std::move(name);
    current_done_ = 0;
    update();
}

void progress_line::file_progress(std::uint64_t done) {
    current_done_ = done;
    update();
}

void progress_line::file_finished(std::uint64_t size) {
    ++files_done_;
    bytes_done_ += size;
    current_done_ = 0;
    update();
}

void progress_line::clear() {
    if (shown_) {
        sink_("\r" + std::string(kEraseToEnd));
        shown_ = false;
    }
}

void progress_line::update() {
    const clock::time_point now = now_();
    if (now - last_ < kInterval) {
        return;
    }
    last_ = now;
    const std::string text = progress_text(files_done_, files_total_, bytes_done_ + current_done_,
                                           bytes_total_, current_, columns_);
    sink_("\r" + text + std::string(kEraseToEnd));
    shown_ = true;
}

}  // namespace vekdc::cli
