// SPDX-License-Identifier: GPL-3.0-or-later
// cifrelle-classe, the class's keeper (see keeper.h). It takes nothing on
// its command line and reads the administrator's system-wide setting only.
#include "keeper.h"

int main()
{
    try {
        return cifrelle::keeper::runKeeper(cifrelle::keeper::systemSettingsFile);
    } catch (...) {
        return 1; // what was half done is as after a crash: the next request finishes it
    }
}
