#pragma once

class StepPattern;
struct Module1;

// Reads the twelve channel boxes of step (1..22) and leaves the register values in
// dataValue (channel 1 = D7 .. channel 8 = D0), controlValue (192..207) and controlPattern.
// C0, C1 and C3 are inverted on the connector, so their bits are cleared to raise the pin; C2
// is set. With that, "on" means a high pin for every channel, and no other code has to care.
void encodeStep(Module1& module, const StepPattern& boxes, int step);
