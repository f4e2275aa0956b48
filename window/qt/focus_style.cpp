#include "window/qt/focus_style.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOption>
#include <algorithm>

#include "desktop/contrast.h"

namespace vekdc {

namespace {

// An outline just inside `area`.
void DrawOutline(QPainter* painter, const QRect& area, const QColor& background) {
    painter->save();
    QPen pen(FocusStyle::OutlineColour(background), FocusStyle::kOutlineWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const int half = FocusStyle::kOutlineWidth / 2;
    painter->drawRect(area.adjusted(half, half, -half, -half));
    painter->restore();
}

bool HasFocus(const QStyleOption* option) {
    return option != nullptr && (option->state & QStyle::State_HasFocus) &&
           (option->state & QStyle::State_Enabled);
}

}  // namespace

FocusStyle::FocusStyle(QStyle* base) : QProxyStyle(base) {}

QColor FocusStyle::OutlineColour(const QColor& background) {
    const desktop::rgb colour =
        desktop::text_colour_on({background.red(), background.green(), background.blue()});
    return QColor(colour.red, colour.green, colour.blue);
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (!HasFocus(option)) {
        return;
    }
    if (element == CE_PushButton) {
        DrawOutline(painter, option->rect, option->palette.color(QPalette::Button));
    } else if (element == CE_ShapedFrame && qobject_cast<const QAbstractItemView*>(widget)) {
        DrawOutline(painter, option->rect, option->palette.color(QPalette::Base));
    }
}

int FocusStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    const int value = QProxyStyle::pixelMetric(metric, option, widget);
    if (metric == PM_DefaultFrameWidth && qobject_cast<const QAbstractItemView*>(widget)) {
        return std::max(value, kOutlineWidth);
    }
    return value;
}

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    if (element == PE_FrameFocusRect) {
        // The current item of a list or tree.
        const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option);
        const QColor background = focus != nullptr && focus->backgroundColor.isValid()
                                      ? focus->backgroundColor
                                      : option->palette.color(QPalette::Base);
        DrawOutline(painter, option->rect, background);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element == PE_FrameLineEdit && HasFocus(option)) {
        DrawOutline(painter, option->rect, option->palette.color(QPalette::Base));
    }
}

}  // namespace vekdc
