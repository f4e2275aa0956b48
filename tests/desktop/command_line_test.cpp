// The vekdc command line: help and version answered, --add's files, and
// every other command line left to the program's own reading.
#include <gtest/gtest.h>

#include "desktop/command_line.h"
#include "desktop/file_names.h"
#include "desktop/texts.h"
#include "tests/support/test_support.h"
#include "vekdc/version.h"

namespace vekdc::desktop {
namespace {

TEST(CommandLine, ReadsTheCommandLine) {
    using strings = std::vector<std::string>;
    const std::string cwd = test::kSep + "work";
    const std::string abs = test::kSep == "/" ? "/abs/a.vek" : "C:\\abs\\a.vek";
    struct row {
        const char* name;
        strings arguments;  // after the program's name
        bool answer;
        int exit_code;
        std::string text_contains;
        strings start_arguments;
        bool add;
        strings add_paths;
    };
    const row rows[] = {
        {"plain start", {}, false, 0, "", {}, false, {}},
        {"document file kept", {"doc.txt"}, false, 0, "", {"doc.txt"}, false, {}},
        {"old options kept",
         {"/Embedding", "-p", "x"},
         false,
         0,
         "",
         {"/Embedding", "-p", "x"},
         false,
         {}},
        {"help", {"--help"}, true, 0, "--add", {}, false, {}},
        {"-h", {"-h"}, true, 0, "--version", {}, false, {}},
        {"-?", {"-?"}, true, 0, "FILE", {}, false, {}},
        {"help beats version", {"--version", "--help-all"}, true, 0, "--add", {}, false, {}},
        {"version", {"--version"}, true, 0, "vekdc " VEKDC_VERSION "\n", {}, false, {}},
        {"compacted short options", {"--add", "-vh"}, true, 0, "--add", {}, false, {}},
        {"unknown with --add", {"--add", "--bogus"}, true, 1, "bogus", {}, false, {}},
        {"unknown short option", {"-v", "-x"}, true, 1, "'x'", {}, false, {}},
        {"add files",
         {"--add", abs, "rel.vek"},
         false,
         0,
         "",
         {},
         true,
         {abs, join_path(cwd, "rel.vek")}},
        {"add after --",
         {"--add", "--", "-x.vek"},
         false,
         0,
         "",
         {},
         true,
         {join_path(cwd, "-x.vek")}},
        {"a lone dash is a file", {"--add", "-"}, false, 0, "", {}, true, {join_path(cwd, "-")}},
        {"names that are not UTF-8 keep their bytes",
         {"--add", "/d/bad\xff.vek"},
         false,
         0,
         "",
         {},
         true,
         {absolute_path("/d/bad\xff.vek", cwd)}},
        {"add nothing", {"--add"}, false, 0, "", {}, true, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strings arguments = {"vekdc"};
        arguments.insert(arguments.end(), r.arguments.begin(), r.arguments.end());
        const start_request request = parse_command_line(arguments, cwd);
        EXPECT_EQ(request.what == start_request::action::answer, r.answer);
        EXPECT_EQ(request.exit_code, r.exit_code);
        EXPECT_EQ(request.to_standard_error, r.exit_code != 0);
        EXPECT_NE(request.text.find(r.text_contains), std::string::npos) << request.text;
        if (!r.answer) {
            EXPECT_TRUE(request.text.empty());
            EXPECT_EQ(request.arguments, r.start_arguments);
            EXPECT_EQ(request.add, r.add);
            EXPECT_EQ(request.add_paths, r.add_paths);
        }
    }
}

TEST(CommandLine, HelpNamesEveryOptionInTheUsersLanguage) {
    for (const char* language : {"ja", "en"}) {
        const test::ScopedEnvironment chosen(
            {test::ScopedEnvironment::Assignment{"LANGUAGE", language}});
        const std::string help = help_text("vekdc");
        for (const char* part : {"vekdc", "[FILE...]", "-h, --help", "-v, --version", "--add"}) {
            EXPECT_NE(help.find(part), std::string::npos) << language << ": " << part;
        }
        EXPECT_NE(help.find(std::string(text(text_id::cmdline_add))), std::string::npos);
    }
}

}  // namespace
}  // namespace vekdc::desktop
