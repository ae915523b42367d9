#pragma once

#include <QIcon>

// The program's window icon: 32 x 32 pixels in the 16 colours of the classic VGA palette. Only
// the main window carries it; the about box shows none, so it must not become the
// application-wide icon (QApplication::setWindowIcon), which every window without one inherits.
QIcon appIcon();
