#pragma once

#include <cstdio>

struct OutputChoice;

// "ktr --list-outputs": every output reachable now, one per line: the command-line arguments that
// select it, a tab, a Hungarian description. Parallel-port devices, the screen, then each of
// olad's output ports, with the universe it is patched to or, when free, the choice's universe.
// Without olad the other rows are still printed and one line on err says why. Returns the exit
// code, 0.
int listOutputs(const OutputChoice& choice, std::FILE* out, std::FILE* err);
