#include "StepEncoder.h"

#include "Module1.h"
#include "StepPattern.h"

namespace {
constexpr int dataWeights[8] = {128, 64, 32, 16, 8, 4, 2, 1};
// Channels 9..12 = C3, C2, C1, C0: the change to the base value 203 when the channel is on.
constexpr int controlDeltas[4] = {-8, +4, -2, -1};
} // namespace

void encodeStep(Module1& module, const StepPattern& boxes, int step) {
    module.controlPattern = QStringLiteral("0000");
    module.controlValue = 203;
    module.dataValue = 0;
    for (int channel = 1; channel <= 8; ++channel) {
        if (boxes.channelBox(step, channel) == 1)
            module.dataValue += dataWeights[channel - 1];
    }
    for (int i = 0; i < 4; ++i) {
        if (boxes.channelBox(step, 9 + i) == 1) {
            module.controlValue += controlDeltas[i];
            module.controlPattern[i] = QLatin1Char('x');
        }
    }
}
