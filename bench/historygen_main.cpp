// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a generated history file: gen_history ENTRIES PATH
#include "core/fileio.h"
#include "historygen.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_history ENTRIES PATH\n");
        return 2;
    }
    fileio::writeFileAtomic(QString::fromLocal8Bit(argv[2]), generateHistory(std::atoi(argv[1])));
    return 0;
}
