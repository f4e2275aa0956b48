// The panes of the status bar. The message pane shows as much of its text as
// fits before whatever starts to its right (the progress bar of a decode),
// elided with "…"; an indicator pane is as wide as its text when lit, and
// shows that text only while its lock key is on.
#pragma once

#include <QLabel>
#include <QString>

namespace vekdc {

class MessagePane : public QLabel {
public:
    explicit MessagePane(QWidget* parent = nullptr);

    // The text ends before x, in the parent's coordinates; -1: no such limit.
    void EndTextAt(int x);
    // What the pane shows of its text().
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int TextWidth() const;

    int m_endAt = -1;
};

class IndicatorPane : public QLabel {
public:
    IndicatorPane(const QString& litText, QWidget* parent = nullptr);

    const QString& LitText() const { return m_litText; }
    void SetLit(bool lit);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    QString m_litText;
};

}  // namespace vekdc
