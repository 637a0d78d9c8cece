#pragma once

#include <string>

// Times of the real window, offscreen, on a database folder prepared by the caller.
struct WindowFigures {
    double startMs = 0;      // construction to shown window, the start-up message answered
    double cycleMs = 0;      // mean of one record typed in tab order, leaving the price box
    std::size_t records = 0; // records the table held at the end
};

// `folder` holds a "Baza.xml"; the window runs there for `cycles` typed records. Needs a
// QApplication.
WindowFigures measureWindow(const std::string &folder, int cycles);
