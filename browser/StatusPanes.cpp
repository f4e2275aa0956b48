#include "browser/StatusPanes.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace vekdc {

namespace {

// Room on both sides of an indicator's text, like the panes' borders.
constexpr int kIndicatorPadding = 6;

}  // namespace

MessagePane::MessagePane(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    // Long texts (key paths) must not widen the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(1);
}

void MessagePane::EndTextAt(int x) {
    m_endAt = x;
    update();
}

int MessagePane::TextWidth() const {
    int width = contentsRect().width();
    if (m_endAt >= 0) {
        width = std::min(width, m_endAt - geometry().left() - contentsRect().left());
    }
    return std::max(0, width);
}

QString MessagePane::ShownText() const {
    // Paths read best with both their ends: the middle gives way.
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextWidth());
}

void MessagePane::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QRect area = contentsRect();
    area.setWidth(TextWidth());
    style()->drawItemText(&painter, area, alignment(), palette(), isEnabled(), ShownText(),
                          foregroundRole());
}

IndicatorPane::IndicatorPane(const QString& litText, QWidget* parent)
    : QLabel(parent), m_litText(litText) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
}

void IndicatorPane::SetLit(bool lit) {
    setText(lit ? m_litText : QString());
}

QSize IndicatorPane::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(m_litText) + 2 * kIndicatorPadding, metrics.height());
}

}  // namespace vekdc
