// The focus in sight: a control with the keyboard focus (a button, an edit
// box, the list, the tree and its current item) gets an outline of two
// pixels, black or white as its background needs (at least 3 : 1), drawn
// from the first focus on, over whatever the application's style draws.
#pragma once

#include <QProxyStyle>

namespace vekdc {

class FocusStyle : public QProxyStyle {
public:
    // Wraps `base` (the application's style when nullptr).
    explicit FocusStyle(QStyle* base = nullptr);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    // Lists and trees keep room for the whole outline around their contents.
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;

    // The outline's width and its colour on `background`.
    static constexpr int kOutlineWidth = 2;
    static QColor OutlineColour(const QColor& background);
};

}  // namespace vekdc
