// A window program in name only: it has the resources of one (the window
// manifest) and prints the path of the common controls library it was
// given, so that a test can see that the manifest's dependency is honoured:
// version 6 comes from the side-by-side store, as in
// C:\Windows\WinSxS\amd64_microsoft.windows.common-controls_..._6.0.x_...\comctl32.dll,
// the older one from the system folder.
#include <windows.h>

#include <string>

#include "platform/win32/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(::GetModuleFileNameW(::LoadLibraryW(L"comctl32.dll"), path.data(),
                                     static_cast<DWORD>(path.size())));
    const std::string line = vekdc::platform::win32::narrow(path) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
    return 0;
}
