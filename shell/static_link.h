// A label that acts as a link: underlined, blue until followed and purple
// afterwards, a pointing hand while the pointer is over it; a click opens its
// text (an e-mail address as "mailto:") with the desktop's handler.
#pragma once

#include <QColor>
#include <QLabel>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace tarvel {

class CStaticLink : public QLabel {
public:
    explicit CStaticLink(QWidget* parent = nullptr);

    // Opens a target; returns false when it could not. QDesktopServices by default.
    std::function<bool(const QUrl&)> m_openUrl;
    // Sounds the failure beep; QApplication::beep by default.
    std::function<void()> m_beep;

    QColor m_colorUnvisited{0, 0, 255};
    QColor m_colorVisited{128, 0, 128};
    int* m_pVisited = nullptr;  // the owner's followed flag; 1 means followed
    int m_bCaptured = 0;
    int m_bJustClicked = 0;
    QString m_strLink;

    void OnClicked();
    QColor CurrentColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnTimer();

    QTimer m_timer;  // ends the pause after a click
};

}  // namespace tarvel
