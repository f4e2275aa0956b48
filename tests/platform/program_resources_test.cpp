// What the build puts into every Windows program besides its code: version
// information from the project's version, and the manifest of its kind.
#include <windows.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/text.h"
#include "tests/support/test_support.h"
#include "vekdc/version.h"
#include "window/win32/resource_ids.h"

namespace vekdc {
namespace {

using platform::win32::narrow;
using platform::win32::widen;

struct ProgramResources {
    std::map<std::string, std::string> strings;  // of the version information
    std::string manifest;
};

ProgramResources resources_of(const std::string& program) {
    ProgramResources found;
    const std::wstring path = widen(program);
    DWORD ignored = 0;
    std::vector<char> data(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (!data.empty() &&
        ::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) {
        for (const char* name :
             {"FileVersion", "LegalCopyright", "OriginalFilename", "ProductName"}) {
            const std::wstring query = L"\\StringFileInfo\\040904B0\\" + widen(name);
            void* value = nullptr;
            UINT length = 0;
            if (::VerQueryValueW(data.data(), query.c_str(), &value, &length) && length > 0) {
                found.strings[name] = narrow(static_cast<const wchar_t*>(value));
            }
        }
    }
    const HMODULE module = ::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        return found;  // not the test's own resources
    }
    if (const HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        found.manifest.assign(
            static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
            ::SizeofResource(module, manifest));
    }
    ::FreeLibrary(module);
    return found;
}

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ProgramResources, CarryTheProjectVersionTheMakerAndTheManifestOfTheirKind) {
    const struct {
        const char* file_name;
        std::string path;
        bool window;
    } programs[] = {
        {"vekdc-cli.exe", test::build_path(VEKDC_CLI), false},
        {"window_probe.exe", test::build_path(VEKDC_WINDOW_PROBE), true},
        {"vekdc.exe", test::build_path(VEKDC_WINDOW), true},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.file_name);
        const ProgramResources found = resources_of(program.path);
        EXPECT_EQ(found.strings, (std::map<std::string, std::string>{
                                     {"FileVersion", VEKDC_VERSION},
                                     {"LegalCopyright", VEKDC_COPYRIGHT},
                                     {"OriginalFilename", program.file_name},
                                     {"ProductName", "VekDC"},
                                 }));
        EXPECT_TRUE(holds(found.manifest, "version=\"" VEKDC_VERSION_QUAD "\"")) << found.manifest;
        EXPECT_TRUE(holds(found.manifest, "<activeCodePage"));
        EXPECT_EQ(holds(found.manifest, ">PerMonitorV2, PerMonitor</dpiAwareness>"),
                  program.window);
        EXPECT_EQ(
            holds(found.manifest, "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            program.window);
    }
}

// Explorer shows a .vek file with "vekdc.exe,0", the first icon of the
// program: it must be the program icon, in every size the program is drawn in.
TEST(ProgramResources, TheWindowProgramsFirstIconIsTheProgramIcon) {
    const HMODULE module =
        ::LoadLibraryExW(widen(test::build_path(VEKDC_WINDOW)).c_str(), nullptr,
                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    LPWSTR first = nullptr;
    ::EnumResourceNamesW(
        module, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
            *reinterpret_cast<LPWSTR*>(found) = name;
            return FALSE;  // the first is enough
        },
        reinterpret_cast<LONG_PTR>(&first));
    ASSERT_TRUE(first != nullptr && IS_INTRESOURCE(first));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(first), static_cast<ULONG_PTR>(IDI_PROGRAM));
    // Its group lists one image per size (GRPICONDIR: reserved, type, count).
    const HRSRC group = ::FindResourceW(module, first, RT_GROUP_ICON);
    const auto* directory = static_cast<const WORD*>(::LockResource(::LoadResource(module, group)));
    EXPECT_EQ(directory[2], VEKDC_ICON_SIZE_COUNT);
    ::FreeLibrary(module);
}

// A window manifest that Windows could not read would keep the program from
// starting at all; this one starts, and its dependency is honoured: the
// common controls come from the side-by-side store in version 6. (Wine
// treats every program as per-monitor aware, so the DPI setting shows only
// in the manifest above.)
TEST(ProgramResources, AWindowProgramStartsWithTheVersionSixCommonControls) {
    const test::ProcessResult probe = test::run_process({test::build_path(VEKDC_WINDOW_PROBE)});
    EXPECT_EQ(probe.status, 0);
    std::string library = probe.out;
    for (char& c : library) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_TRUE(holds(library, "\\winsxs\\amd64_microsoft.windows.common-controls_")) << library;
    EXPECT_TRUE(holds(library, "_6.0.")) << library;
}

}  // namespace
}  // namespace vekdc
