#pragma once

#include "sequencer/SpeedControl.h"

#include <QAbstractSlider>

// VScroll1 as the speed the file and undo logic read and set; its valueChanged runs the change
// handler, as a click on the bar does.
class ScrollBarSpeed : public SpeedControl {
public:
    explicit ScrollBarSpeed(QAbstractSlider& bar) : m_bar(bar) {}
    int value() const override { return m_bar.value(); }
    void setValue(int value) override { m_bar.setValue(value); }

private:
    QAbstractSlider& m_bar;
};
