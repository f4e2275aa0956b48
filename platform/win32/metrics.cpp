#include "platform/win32/metrics.h"

namespace vekdc::platform::win32 {

namespace {

// Functions of Windows 10 version 1607 and later, looked up so that the
// program still starts on systems without them.
using DpiForWindow = UINT(WINAPI*)(HWND);
using DpiForSystem = UINT(WINAPI*)();
using ParametersForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

template <typename Function>
Function user32_function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT system_dpi() {
    static const auto dpi_for_system = user32_function<DpiForSystem>("GetDpiForSystem");
    if (dpi_for_system != nullptr) {
        return dpi_for_system();
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

UINT window_dpi(HWND window) {
    static const auto dpi_for_window = user32_function<DpiForWindow>("GetDpiForWindow");
    if (window != nullptr && dpi_for_window != nullptr) {
        if (const UINT dpi = dpi_for_window(window); dpi != 0) {
            return dpi;
        }
    }
    return system_dpi();
}

int scale_to_dpi(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

LOGFONTW message_font(UINT dpi) {
    static const auto parameters_for_dpi =
        user32_function<ParametersForDpi>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (parameters_for_dpi != nullptr &&
        parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) != 0) {
        return metrics.lfMessageFont;
    }
    // The older call gives the font for the system's DPI.
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) == 0) {
        LOGFONTW fallback{};
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof fallback, &fallback);
        metrics.lfMessageFont = fallback;
    }
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                              static_cast<int>(system_dpi()));
    return metrics.lfMessageFont;
}

Font make_font(const LOGFONTW& description) {
    return Font(::CreateFontIndirectW(&description));
}

}  // namespace vekdc::platform::win32
