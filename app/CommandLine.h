#pragma once

#include <optional>

// Reads the command line before any window or display is touched. For --help, --version and a
// mistake it prints to the terminal and returns the exit status; otherwise it makes the folder
// given, if any, the working folder and returns nothing.
std::optional<int> processCommandLine(int &argc, char *argv[]);
