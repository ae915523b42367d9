#include "FakeStepPattern.h"

void FakeStepPattern::setRow(int step, const QString& row) {
    for (int c = 1; c <= ChannelCount; ++c)
        setChannelBox(step, c, row.mid(c - 1, 1) == QLatin1String("x") ? 1 : 0);
}

void FakeStepPattern::enableOnly(const QList<int>& steps) {
    enables.fill(0);
    for (int step : steps)
        enables[step - 1] = 1;
}

QList<int> FakeStepPattern::redSteps() const {
    QList<int> steps;
    for (int i = 0; i < StepCount; ++i) {
        if (highlights[i])
            steps.append(i + 1);
    }
    return steps;
}
