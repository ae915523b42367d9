#pragma once

// The speed bar as logic reaches it: the window's VScroll1, or a plain value in the player and
// in tests. setValue() behaves like the bar: its change handler runs only when the value really
// changes, and value() is the value clamped to the bar's range.
class SpeedControl {
public:
    virtual ~SpeedControl() = default;
    virtual int value() const = 0;
    virtual void setValue(int value) = 0;
};
