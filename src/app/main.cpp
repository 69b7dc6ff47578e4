// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/subMain.h"

int main(int argc, char** argv) {
    return zelcor::Main(argc, argv);
}
