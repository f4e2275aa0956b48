// Case folding through the C library's UTF-8 locale tables, code page 932
// through iconv.
#include "platform/unicode.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace vekdc::platform {

namespace {

// The length of the UTF-8 sequence at `at` and its code point; 0 when the
// bytes there are not a well-formed sequence.
std::size_t decode_one(std::string_view text, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void encode_one(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The C library's built-in UTF-8 locale: its tables cover all of Unicode,
// whatever locale the process runs in.
locale_t utf8_locale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

}  // namespace

std::string fold_case(std::string_view utf8) {
    std::string folded;
    folded.reserve(utf8.size());
    const locale_t locale = utf8_locale();
    for (std::size_t at = 0; at < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[at]);
        if (lead < 0x80) {
            folded += static_cast<char>(lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead);
            ++at;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = decode_one(utf8, at, code);
        if (length == 0 || locale == locale_t{}) {
            folded += utf8[at];
            ++at;
            continue;
        }
        encode_one(static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), locale)), folded);
        at += length;
    }
    return folded;
}

std::optional<std::string> cp932_to_utf8(std::string_view bytes) {
    const iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    // A CP932 character of one or two bytes is at most three bytes of UTF-8.
    std::vector<char> in(bytes.begin(), bytes.end());
    std::string out(bytes.size() * 3 + 1, '\0');
    char* in_at = in.data();
    std::size_t in_left = in.size();
    char* out_at = out.data();
    std::size_t out_left = out.size();
    const std::size_t converted = iconv(converter, &in_at, &in_left, &out_at, &out_left);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1) || in_left != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - out_left);
    return out;
}

}  // namespace vekdc::platform
