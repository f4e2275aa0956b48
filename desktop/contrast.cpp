#include "desktop/contrast.h"

#include <algorithm>
#include <cmath>

namespace vekdc::desktop {

namespace {

// One sRGB channel as linear light.
double linear(int channel) {
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

constexpr rgb kBlack{0, 0, 0};
constexpr rgb kWhite{255, 255, 255};

}  // namespace

double relative_luminance(rgb colour) {
    return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) +
           0.0722 * linear(colour.blue);
}

double contrast_ratio(rgb a, rgb b) {
    const double la = relative_luminance(a);
    const double lb = relative_luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

rgb text_colour_on(rgb background) {
    return contrast_ratio(kBlack, background) >= contrast_ratio(kWhite, background) ? kBlack
                                                                                    : kWhite;
}

}  // namespace vekdc::desktop
