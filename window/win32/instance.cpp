#include "window/win32/instance.h"

namespace vekdc::win32 {

namespace {

// Held while a start makes its window; per session, as windows are.
constexpr wchar_t kStartMutex[] = L"Local\\Orvinta.VekDC.Start";
// How long a start waits for another one to make its window, and a running
// window to take the files.
constexpr DWORD kStartWaitMs = 30000;
constexpr UINT kForwardWaitMs = 10000;
// What the data of a forwarding WM_COPYDATA is: UTF-8 paths, each ended by a zero.
constexpr ULONG_PTR kForwardedPaths = 0x56454B41;  // "VEKA"

}  // namespace

StartLock::StartLock() : m_mutex(::CreateMutexW(nullptr, FALSE, kStartMutex)) {
    if (m_mutex != nullptr) {
        const DWORD waited = ::WaitForSingleObject(m_mutex, kStartWaitMs);
        // A start that ended while it held the lock leaves it abandoned: it is ours now.
        m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
}

StartLock::~StartLock() {
    Release();
    if (m_mutex != nullptr) {
        ::CloseHandle(m_mutex);
    }
}

void StartLock::Release() {
    if (m_held) {
        ::ReleaseMutex(m_mutex);
        m_held = false;
    }
}

bool ForwardToRunningWindow(const std::vector<std::string>& paths) {
    const HWND window = ::FindWindowW(kMainWindowClass, nullptr);
    if (window == nullptr) {
        return false;
    }
    std::string data;
    for (const std::string& path : paths) {
        data += path;
        data += '\0';
    }
    COPYDATASTRUCT message{};
    message.dwData = kForwardedPaths;
    message.cbData = static_cast<DWORD>(data.size());
    message.lpData = data.data();
    // The window may come to the front: this start is what the user just did.
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    ::AllowSetForegroundWindow(process);
    DWORD_PTR taken = FALSE;
    return ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message),
                                 SMTO_ABORTIFHUNG | SMTO_BLOCK, kForwardWaitMs, &taken) != 0 &&
           taken != FALSE;
}

std::optional<std::vector<std::string>> forwarded_paths(const COPYDATASTRUCT& data) {
    if (data.dwData != kForwardedPaths || (data.cbData > 0 && data.lpData == nullptr)) {
        return std::nullopt;
    }
    const std::string_view bytes(static_cast<const char*>(data.lpData), data.cbData);
    if (!bytes.empty() && bytes.back() != '\0') {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find('\0', start);
        paths.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

}  // namespace vekdc::win32
