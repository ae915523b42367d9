#pragma once

#include "EffectGrid.h"
#include "output/Module1.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

#include <functional>

class SpeedControl;

// An effect file is 24 CR LF terminated single-byte lines: 22 step lines of 12 "x"/"0"
// characters, the speed in milliseconds, and one line of 22 "x"/"0" step enables.
constexpr int EffectLineCount = 24;
constexpr int SpeedLine = 23;
constexpr int EnableLine = 24;
constexpr int SpeedMin = 2; // the range of the speed bar
constexpr int SpeedMax = 800;

// A proper effect file is a few hundred bytes; anything this large is not one, and is refused
// before it is read whole.
constexpr qint64 MaxEffectFileSize = 64 * 1024;

// One effect as read from a file, checked but not yet applied to the window.
struct Effect {
    EffectGrid grid;    // its speed has no value when the speed line is empty
    QString enableLine; // line 24 exactly as read, for enablePattern
};

struct EffectParseResult {
    std::optional<Effect> effect; // no value when the file is refused
    QString error;                // Hungarian, names the file and the line at fault
};

// The whole file as bytes. An empty speed gives an empty speed line. Uses rowPattern and
// enablePattern of module as its working texts.
QByteArray writeEffect(const EffectGrid& grid, Module1& module);
// The same for the boxes as they are now (only a box of value 1 is on) and the stored speed.
QByteArray writeEffect(const StepPattern& boxes, std::optional<qint16> speed, Module1& module);

// Checks the whole file and touches nothing; fileName only goes into the error text. Stored files
// are read as they come: short lines are "off" to the end and a last line without its line end
// counts. Lines may end in CR LF, LF, CR or CR CR LF, and only the first 24 are looked at. A UTF-8
// byte-order mark is skipped; UTF-16 or UTF-32 text and LF CR line ends are refused, naming them,
// rather than read as shifted or empty lines.
EffectParseResult parseEffect(const QByteArray& bytes, const QString& fileName);

// Reads at most MaxEffectFileSize + 1 bytes of the file, so that an oversized one is caught by
// parseEffect without being loaded. Only a regular file is read, and never by blocking on it.
// Returns false with a Hungarian error when it cannot be read.
bool loadEffectBytes(const QString& path, QByteArray& bytes, QString& error);

// Puts a checked effect into the window: every channel box, the speed bar (whose change handler
// stores the speed when the value really changes) and then Timer1's interval through setInterval,
// and every enable box. Without a speed in the file the bar, the speed and the interval stay as
// they are.
void applyEffect(const Effect& effect, StepPattern& boxes, SpeedControl& speedBar,
                 const std::function<void(int milliseconds)>& setInterval, Module1& module);
