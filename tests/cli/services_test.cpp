#include "cli/cli_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

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

TEST(CliServices, AbsolutePathsNeverLookLikeOptions) {
    for (const char* name : {"-x.gif", "--help.jpg", "a/-b.wav", "/tmp/-c.ttf"}) {
        const std::filesystem::path absolute = absolute_path(name);
        EXPECT_TRUE(absolute.is_absolute()) << absolute;
        EXPECT_NE(absolute.string().front(), '-') << absolute;
        EXPECT_EQ(absolute.filename(), std::filesystem::path(name).filename()) << absolute;
    }
}

}  // namespace
}  // namespace vekdc::cli
