#include "platform/file_filter.h"

namespace vekdc::platform {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The parts of `text` between separators, trimmed; empty parts are dropped.
std::vector<std::string> split_patterns(std::string_view text) {
    std::vector<std::string> patterns;
    while (!text.empty()) {
        const auto end = text.find(';');
        const std::string_view part = trimmed(text.substr(0, end));
        if (!part.empty()) {
            patterns.emplace_back(part);
        }
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return patterns;
}

// The patterns in the last pair of parentheses of a label.
std::vector<std::string> patterns_in_label(std::string_view label) {
    const auto close = label.rfind(')');
    const auto open = close == std::string_view::npos ? close : label.rfind('(', close);
    if (open == std::string_view::npos) {
        return {};
    }
    return split_patterns(label.substr(open + 1, close - open - 1));
}

}  // namespace

std::vector<FileFilter> parse_file_filter(std::string_view filter) {
    std::vector<FileFilter> filters;
    if (filter.find('|') == std::string_view::npos) {
        const std::string_view label = trimmed(filter);
        if (!label.empty()) {
            filters.push_back({std::string(label), patterns_in_label(label)});
        }
        return filters;
    }
    while (!filter.empty()) {
        const auto bar = filter.find('|');
        const std::string_view label = trimmed(filter.substr(0, bar));
        if (label.empty() || bar == std::string_view::npos) {
            break;  // the end marker "||", or a label without its patterns
        }
        filter.remove_prefix(bar + 1);
        const auto end = filter.find('|');
        filters.push_back({std::string(label), split_patterns(filter.substr(0, end))});
        filter = end == std::string_view::npos ? std::string_view() : filter.substr(end + 1);
    }
    return filters;
}

bool has_wildcard(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

}  // namespace vekdc::platform
