// The panes of the status bar. The message pane shows as much of its text as
// fits, the middle giving way with "…" (the whole text is then its tooltip);
// an indicator pane keeps the width of its text and its frame, and shows the
// text only while its lock key is on.
#pragma once

#include <QLabel>
#include <QString>

namespace vekdc {

class MessagePane : public QLabel {
public:
    explicit MessagePane(QWidget* parent = nullptr);

    // Sets the text; where it does not show whole, it is the tooltip too.
    void SetMessage(const QString& text);
    // What the pane shows of its text().
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateToolTip();
};

class IndicatorPane : public QLabel {
public:
    // `name`: what a screen reader calls the pane; it also hears "on" or "off".
    IndicatorPane(const QString& litText, const QString& name, QWidget* parent = nullptr);

    const QString& LitText() const { return m_litText; }
    void SetLit(bool lit);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    QString m_litText;
};

}  // namespace vekdc
