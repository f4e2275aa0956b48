#include "cli/cli_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace vekdc::cli {
namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

// Standard error captured for the lifetime of the object.
class CapturedErrors {
public:
    CapturedErrors() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(previous_); }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

// Without a terminal nobody can answer: a script must never be taken to
// have said yes (to opening dozens of viewers, say).
TEST(CliServices, AYesNoQuestionWithoutATerminalIsAnsweredNo) {
    cli_services services(/*can_ask=*/false, /*view=*/true);
    CapturedErrors errors;
    EXPECT_EQ(services.message_box("Open 12 viewers?", "Orvinta VEK デコーダ", Buttons::YesNo,
                                   Icon::Information),
              Answer::No);
    EXPECT_EQ(errors.text(),
              "Orvinta VEK デコーダ: Open 12 viewers?\n"
              "vekdc-cli: no terminal to ask on; the answer is no\n");
}

TEST(CliServices, EveryMessageFirstErasesTheProgressLine) {
    cli_services services(false, false);
    CapturedErrors errors;
    services.set_before_output([] { std::cerr << "<erased>"; });
    services.notice("created the output folder out");
    services.message_box("dec out file open error", "VekDC", Buttons::Ok, Icon::Information);
    const std::string text = errors.text();
    EXPECT_EQ(text.rfind("<erased>vekdc-cli: created the output folder out\n<erased>", 0), 0u)
        << text;
}

// Windows would report the engine's exit(-1) as -1, which a batch file's
// `if errorlevel 1` reads as success.
TEST(CliServicesDeathTest, TheEnginesExitStatusesAreReportedAsOnPosixSystems) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        int engine_status;
        int reported;
    } cases[] = {{-1, 255}, {-2, 254}, {0, 0}, {1, 1}};
    for (const auto& c : cases) {
        cli_services services(false, false);
        EXPECT_EXIT(services.exit_program(c.engine_status), testing::ExitedWithCode(c.reported), "")
            << c.engine_status;
    }
}

TEST(CliServices, AbsolutePathsNeverLookLikeOptions) {
    for (const char* name : {"-x.gif", "--help.jpg", "a/-b.wav", "/tmp/-c.ttf"}) {
        const std::filesystem::path absolute = absolute_path(name);
        EXPECT_TRUE(absolute.is_absolute()) << absolute;
        EXPECT_NE(absolute.string().front(), '-') << absolute;
        EXPECT_EQ(absolute.filename(), std::filesystem::path(name).filename()) << absolute;
    }
}

// What a viewer is given for a decoded file: on Windows the name once came
// out in the system's code page.
TEST(CliServices, AbsolutePathsKeepNamesInAnyScript) {
    const std::string here = platform::utf8_text(std::filesystem::current_path());
    for (const char* name : {"写真.gif", "Ünïcödé.wav"}) {
        EXPECT_EQ(absolute_path(name), here + test::kSep + name);
    }
}

}  // namespace
}  // namespace vekdc::cli
