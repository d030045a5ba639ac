#include "shell/static_link.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPixmap>

#include "res/resource_ids.h"

namespace tarvel {

CStaticLink::CStaticLink(QWidget* parent)
    : QLabel(parent),
      m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      m_beep([] { QApplication::beep(); }) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setMouseTracking(true);
    m_timer.setSingleShot(true);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
}

QColor CStaticLink::CurrentColor() const {
    return m_pVisited != nullptr && *m_pVisited == 1 ? m_colorVisited : m_colorUnvisited;
}

void CStaticLink::paintEvent(QPaintEvent* event) {
    QPalette colours = palette();
    if (colours.color(QPalette::WindowText) != CurrentColor()) {
        colours.setColor(QPalette::WindowText, CurrentColor());
        setPalette(colours);
    }
    QLabel::paintEvent(event);
}

void CStaticLink::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    if (m_bJustClicked == 1) return;
    bool inside = rect().contains(event->position().toPoint());
    if (m_bCaptured == 0 && inside) {
        m_bCaptured = 1;
        static const QCursor hand(QPixmap(QStringLiteral(":/icons/hand.png")), 0, 0);
        setCursor(hand);
    } else if (m_bCaptured == 1 && !inside) {
        m_bCaptured = 0;
        setCursor(Qt::ArrowCursor);
    }
}

void CStaticLink::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    if (m_bCaptured == 1) {
        m_bCaptured = 0;
        setCursor(Qt::ArrowCursor);
    }
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) OnClicked();
}

void CStaticLink::OnClicked() {
    if (m_strLink.isEmpty()) m_strLink = text();
    if (m_strLink.contains(QLatin1String(res::kMailMarker)) &&
        !m_strLink.startsWith(QLatin1String("mailto:"))) {
        m_strLink.prepend(QLatin1String("mailto:"));
    }
    m_bCaptured = 0;
    m_bJustClicked = 1;
    m_timer.start();
    if (!m_openUrl(QUrl(m_strLink))) {
        qWarning("*** WARNING: CStaticLink: unable to execute file %s", qPrintable(m_strLink));
        m_beep();
        return;
    }
    if (m_pVisited != nullptr) *m_pVisited = 1;
    setCursor(Qt::ArrowCursor);
    update();
}

void CStaticLink::OnTimer() { m_bJustClicked = 0; }

}  // namespace tarvel
