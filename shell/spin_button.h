// A spin button attached to a number field: its arrows and the arrow keys in
// the field step the field's value within a range. It never rewrites a value
// it did not step, so a preset value outside the range stays as it is.
#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace tarvel {

class CSpinButton : public QWidget {
public:
    CSpinButton(QLineEdit* buddy, QWidget* parent);
    void SetRange(int low, int high);
    void Step(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_low = 0;
    int m_high = 100;
};

}  // namespace tarvel
