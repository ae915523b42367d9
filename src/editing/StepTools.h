#pragma once

#include "effects/EffectGrid.h"

// Edits of whole steps and whole channel columns, done box by box through StepPattern so that a
// change made while playing is played at the next tick exactly as a click would be. Only boxes
// whose value really changes are written. A box counts as on only when its value is 1.
namespace StepTools {

using StepRow = EffectGrid::Channels;

void setAllChannels(StepPattern& boxes, int step, bool on);
void invertStep(StepPattern& boxes, int step);
StepRow copyStep(const StepPattern& boxes, int step);
void pasteStep(StepPattern& boxes, int step, const StepRow& row);

// One channel towards channel 1 (left) or channel 12 (right); the end channel wraps round.
void shiftLeft(StepPattern& boxes, int step);
void shiftRight(StepPattern& boxes, int step);

// Rows and their enable boxes from step on move one down; the last row's content is dropped and
// the new row at step is empty and not enabled.
void insertStep(StepPattern& boxes, int step);
// Rows below step move one up; an empty, not enabled row comes in at the bottom.
void deleteStep(StepPattern& boxes, int step);

void setAllSteps(StepPattern& boxes, int channel, bool on);
void invertChannel(StepPattern& boxes, int channel);

} // namespace StepTools
