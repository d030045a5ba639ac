#include "shell/spin_button.h"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace tarvel {

CSpinButton::CSpinButton(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
    m_buddy->installEventFilter(this);
}

void CSpinButton::SetRange(int low, int high) {
    m_low = low;
    m_high = high;
}

void CSpinButton::Step(int delta) {
    bool ok = false;
    long long value = m_buddy->text().trimmed().toLongLong(&ok);
    if (!ok) value = m_low;
    value = std::clamp(value + delta, static_cast<long long>(m_low), static_cast<long long>(m_high));
    m_buddy->setText(QString::number(value));
}

bool CSpinButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && m_buddy->isEnabled()) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSpinButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        m_up->setEnabled(isEnabled());
        m_down->setEnabled(isEnabled());
    }
}

}  // namespace tarvel
