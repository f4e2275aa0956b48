#include "browser/colorref.h"

namespace vekdc {

namespace {

int HexDigit(QChar c) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
        return c.unicode() - '0';
    }
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f')) {
        return c.unicode() - 'a' + 10;
    }
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F')) {
        return c.unicode() - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<COLORREF> ScanHexColor(const QString& text) {
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') ||
                        text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r') ||
                        text[i] == QLatin1Char('\v') || text[i] == QLatin1Char('\f'))) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // "0x" counts as a prefix only when a digit follows; a lone "0" is the number 0.
    if (i + 2 < size && text[i] == QLatin1Char('0') &&
        (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X')) &&
        HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    COLORREF value = 0;
    bool any = false;
    for (; i < size; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            break;
        }
        value = (value << 4) | static_cast<COLORREF>(digit);
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return negative ? static_cast<COLORREF>(0u - value) : value;
}

QColor ColorFromColorRef(COLORREF value) {
    return QColor(static_cast<int>(value & 0xffu), static_cast<int>((value >> 8) & 0xffu),
                  static_cast<int>((value >> 16) & 0xffu));
}

}  // namespace vekdc
