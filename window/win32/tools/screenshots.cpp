// vekdc-screenshots.exe: pictures of the Windows window for the documentation.
//   vekdc-screenshots.exe <output folder> <examples folder>
// Copies the examples to C:\examples, starts the window with their key in the
// language of the user (LANGUAGE, LANG, else Windows' display language) and
// saves, as BMP files: the window after start-up (vekdc-win-start.bmp), its
// version dialog (vekdc-win-version.bmp) and, with the panel shown, the
// examples listed and decoded into C:\decoded, the window the moment the last
// file is done (vekdc-win-decode.bmp). Pictures of a language other than
// Japanese carry its name: vekdc-win-start-en.bmp, ... Message boxes and the
// key dialog are answered without being shown. window/win32/tools/screenshots.sh
// runs it under wine at 96 and 144 dpi and makes PNG files of them.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/language.h"
#include "testing/recording_services.h"
#include "platform/win32/metrics.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"
#include "tests/support/win32_gui.h"
#include "window/win32/application.h"
#include "window/win32/decode_panel.h"
#include "window/win32/drive_tree.h"
#include "window/win32/main_window.h"
#include "window/win32/version_dialog.h"

namespace {

using vekdc::platform::win32::narrow;
using vekdc::platform::win32::widen;

constexpr wchar_t kExamples[] = L"C:\\examples";
constexpr wchar_t kDecoded[] = L"C:\\decoded";
// The window's size in the pictures at 96 DPI (or larger where it needs more).
constexpr int kPictureWidth = 960;
constexpr int kPictureHeight = 640;

// The window as the screen shows it, in a 24-bit BMP file.
bool SaveWindow(HWND window, const std::wstring& path) {
    // Whatever waits is done first, then the window is drawn whole.
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    ::GdiFlush();
    RECT place{};
    ::GetWindowRect(window, &place);
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    // What the window drew, its frame included.
    const HDC screen = ::GetWindowDC(window);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP picture = ::CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = ::SelectObject(memory, picture);
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::SelectObject(memory, previous);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<DWORD>(height));
    ::GetDIBits(memory, picture, 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    ::DeleteObject(picture);
    ::DeleteDC(memory);
    ::ReleaseDC(window, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    std::printf("%s\n", narrow(path).c_str());
    return out.good();
}

// The window's boxes answered without showing; the moment the viewer of the
// last decoded file would start, the window is saved with its bars brought
// up to date.
class PictureServices : public vekdc::platform::RecordingServices {
public:
    void run_program(const std::string& command_line) override {
        RecordingServices::run_program(command_line);
        if (onViewer) {
            onViewer();
        }
    }
    std::function<void()> onViewer;
};

bool CopyExamples(const std::wstring& from) {
    ::CreateDirectoryW(kExamples, nullptr);
    ::CreateDirectoryW(kDecoded, nullptr);
    bool copied = true;
    for (const wchar_t* name : {L"example.key", L"letter.vek", L"notes.vek", L"picture.vek"}) {
        copied = ::CopyFileW((from + L"\\" + name).c_str(),
                             (std::wstring(kExamples) + L"\\" + name).c_str(), FALSE) != 0 &&
                 copied;
    }
    return copied;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vekdc-screenshots <output folder> <examples folder>\n");
        return 2;
    }
    vekdc::platform::set_default_ui_language(vekdc::platform::win32::user_ui_language());
    const std::wstring out = argv[1];
    if (!CopyExamples(argv[2])) {
        std::fprintf(stderr, "cannot copy the examples to C:\\examples\n");
        return 1;
    }
    const std::wstring suffix =
        vekdc::platform::ui_language() == vekdc::platform::Language::Japanese ? L"" : L"-en";
    auto picture = [&](const wchar_t* name) { return out + L"\\" + name + suffix + L".bmp"; };
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                                             ICC_PROGRESS_CLASS |
                                                             ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    PictureServices services;
    vekdc::platform::install(&services);
    services.setNextFile(narrow(std::wstring(kExamples) + L"\\example.key"));

    vekdc::win32::CVekDCApp app("VekDC-screenshots");
    if (!app.InitInstance({})) {
        return 1;
    }
    vekdc::win32::CMainFrame& frame = *app.GetMainWnd();
    const UINT dpi = frame.Dpi();
    // At the desktop's corner: the window shows whole at any DPI.
    ::SetWindowPos(frame.GetSafeHwnd(), HWND_TOP, 0, 0,
                   vekdc::platform::win32::scale_to_dpi(kPictureWidth, dpi),
                   vekdc::platform::win32::scale_to_dpi(kPictureHeight, dpi), 0);
    bool ok = SaveWindow(frame.GetSafeHwnd(), picture(L"vekdc-win-start"));

    {
        const vekdc::test::DialogAnswerer answerer([&](HWND dialog) {
            ok = SaveWindow(dialog, picture(L"vekdc-win-version")) && ok;
            vekdc::test::press(dialog, IDCANCEL);
        });
        app.OnShowVersion();
    }

    // The panel beside the tree, the examples' folder selected, the output
    // folder set; Enter on the folder lists its files and decodes them.
    frame.RevealDecodePanel();
    vekdc::win32::CLeftView& tree = frame.GetLeftView();
    const HWND treeWindow = tree.GetSafeHwnd();
    HTREEITEM folder = nullptr;
    for (auto item =
             reinterpret_cast<HTREEITEM>(::SendMessageW(treeWindow, TVM_GETNEXTITEM, TVGN_ROOT, 0));
         item != nullptr && folder == nullptr;
         item = reinterpret_cast<HTREEITEM>(::SendMessageW(treeWindow, TVM_GETNEXTITEM, TVGN_NEXT,
                                                           reinterpret_cast<LPARAM>(item)))) {
        if (tree.Core().node(tree.NodeOf(item)).name.rfind("C:", 0) != 0) {
            continue;
        }
        ::SendMessageW(treeWindow, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        for (auto child = reinterpret_cast<HTREEITEM>(::SendMessageW(
                 treeWindow, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
             child != nullptr;
             child = reinterpret_cast<HTREEITEM>(::SendMessageW(
                 treeWindow, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
            if (tree.Core().node(tree.NodeOf(child)).name == "examples") {
                folder = child;
            }
        }
    }
    if (folder == nullptr) {
        std::fprintf(stderr, "C:\\examples is not in the tree\n");
        return 1;
    }
    ::SendMessageW(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(folder));
    ::SetFocus(treeWindow);
    vekdc::win32::CVekDCView& panel = frame.GetDecodeView();
    ::SetWindowTextW(panel.GetDlgItem(vekdc::desktop::decode_pane::IDC_OUT_DIR), kDecoded);
    int viewers = 0;
    services.onViewer = [&] {
        // The picture is the last of the three: its viewer comes when all are done.
        if (++viewers == 1) {
            panel.RefreshRunProgress();
            ok = SaveWindow(frame.GetSafeHwnd(), picture(L"vekdc-win-decode")) && ok;
        }
    };
    tree.Core().OnKeyDown(vekdc::desktop::drive_tree::key::enter);
    return ok && viewers == 1 ? 0 : 1;
}
