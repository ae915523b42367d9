#pragma once

#include <QSpinBox>

class QAbstractSlider;

// The speed in milliseconds next to the speed bar. It shows the bar's value, and a value typed
// in (confirmed with Enter or by leaving the field) or stepped with its arrows moves the bar,
// whose own change handler then runs exactly as for a click on the bar.
class SpeedEntry : public QSpinBox {
    Q_OBJECT
public:
    SpeedEntry(QAbstractSlider& bar, QWidget* parent);
};
