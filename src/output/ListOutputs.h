#pragma once

#include <QString>
#include <QStringList>

struct OutputChoice;

// "ktr --list-outputs": every output the program can reach now, one per line: the arguments that
// select it, a tab, and what it is. What kept an output from looking goes into problems.
QString listOutputs(const OutputChoice& configured, QStringList* problems);
