// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>

// Builds every window of the program once, in order: the main window, the about box, the
// colour demonstration, the statistics, the overwrite confirmation, the area study and the
// colorimetry window.
void createWindows();
// Destroys them in the opposite order; the main window writes the settings on its way out.
void destroyWindows();

// "probnik FILE.bmp" (how a file manager's "Open with" starts it): the main window opens that
// file once the event loop runs, as the Open command does after its dialog. arguments are the
// program's, its own name first.
void openFileArgument(const QStringList& arguments);

// The whole program: splash, windows, event loop. Returns the exit code (always 0).
int runProbnik(int& argc, char** argv);
