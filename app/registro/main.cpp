// SPDX-License-Identifier: GPL-3.0-or-later
#include "registroprogram.h"

int main(int argc, char* argv[])
{
    return cifrelle::app::runRegistro(argc, argv);
}
