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
// its desktop), and the console of a program started from one (Windows
// gives a window program none unless it asks).
void useNoDisplay();
void useParentConsole();

} // namespace cifrelle::app
