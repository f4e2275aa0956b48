#include "window/qt/status_panes.h"

#include "window/qt/texts.h"

#include <QPainter>
#include <QStyle>

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

QString MessagePane::ShownText() const {
    // Paths read best with both their ends: the middle gives way.
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void MessagePane::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), alignment(), palette(), isEnabled(),
                          ShownText(), foregroundRole());
}

void MessagePane::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateToolTip();
}

void MessagePane::SetMessage(const QString& text) {
    setText(text);
    UpdateToolTip();
}

void MessagePane::UpdateToolTip() {
    // A text that does not show whole can still be read.
    setToolTip(ShownText() == text() ? QString() : text());
}

IndicatorPane::IndicatorPane(const QString& litText, const QString& name, QWidget* parent)
    : QLabel(parent), m_litText(litText) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setAccessibleName(name);
    SetLit(false);
    // Dark panes keep their place in sight.
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void IndicatorPane::SetLit(bool lit) {
    setText(lit ? m_litText : QString());
    setAccessibleDescription(Text(lit ? desktop::text_id::lock_on : desktop::text_id::lock_off));
}

QSize IndicatorPane::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(m_litText) + 2 * kIndicatorPadding + 2 * frameWidth(),
                 metrics.height() + 2 * frameWidth());
}

}  // namespace vekdc
