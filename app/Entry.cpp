// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Startup.h"

int main(int argc, char** argv)
{
    return runProbnik(argc, argv);
}
