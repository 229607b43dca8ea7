#pragma once

// Builds every window of the program once, in order: the main window, the about box, the
// colour demonstration, the statistics, the overwrite confirmation, the area study and the
// colorimetry window.
void createWindows();
// Destroys them in the opposite order; the main window writes the settings on its way out.
void destroyWindows();

// The whole program: splash, windows, event loop. Returns the exit code (always 0).
int runProbnik(int& argc, char** argv);
