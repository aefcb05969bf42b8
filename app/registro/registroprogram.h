// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cifrelle::app {

// cifrelle-registro, the teacher's view of the register: with --pdf or
// --csv it writes those files without a window (no display needed) and
// returns 0, or 1 with one Italian line on stderr when a register cannot
// be read or a file written; otherwise it opens the window "Registro della
// classe". A wrong command line gives the usage and 2.
int runRegistro(int argc, char* argv[]);

// What differs between the systems (registroplatform_*.cpp): the exports'
// Qt platform (offscreen on Linux, where no display is needed; Windows has
// its desktop); the console of a program started from one (Windows gives a
// window program none unless it asks); and the application's name: the
// game's on Windows, where it names the record folder, its own on Linux,
// where it is the window's class that the desktop matches with the menu
// entry (the record folder does not depend on it there).
void useNoDisplay();
void useParentConsole();
const char* applicationName();

} // namespace cifrelle::app
