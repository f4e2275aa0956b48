// Contrast as the accessibility guidelines measure it, and the text colour
// chosen for a fixed background.
#include <gtest/gtest.h>

#include "desktop/contrast.h"
#include "desktop/decode_panel.h"

namespace vekdc::desktop {
namespace {

TEST(Contrast, MeasuresAndChoosesTheReadableColour) {
    struct row {
        const char* name;
        rgb background;
        double ratio_with_black;
        rgb text;
    };
    const row rows[] = {
        {"white", {255, 255, 255}, 21.0, {0, 0, 0}},
        {"black", {0, 0, 0}, 1.0, {255, 255, 255}},
        {"mid grey", {119, 119, 119}, 4.69, {0, 0, 0}},
        {"the panel at rest", decode_panel::kIdleColour, 12.96, {0, 0, 0}},
        {"the panel while decoding", decode_panel::kBusyColour, 2.99, {255, 255, 255}},
        {"pure blue", {0, 0, 255}, 2.44, {255, 255, 255}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_NEAR(contrast_ratio({0, 0, 0}, r.background), r.ratio_with_black, 0.01);
        EXPECT_DOUBLE_EQ(contrast_ratio(r.background, {0, 0, 0}),
                         contrast_ratio({0, 0, 0}, r.background));
        EXPECT_EQ(text_colour_on(r.background), r.text);
        EXPECT_GE(contrast_ratio(text_colour_on(r.background), r.background), kTextContrast);
    }
}

}  // namespace
}  // namespace vekdc::desktop
