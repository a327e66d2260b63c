#pragma once
// How the window is started, from the program's arguments.

#include <string>
#include <vector>

struct WindowOptions {
    // --engineering: the five hidden pages, the Function Test panel, the range group and
    // the seven option boxes are shown; without it the window offers only the ISP page's
    // file controls, Auto button and status labels.
    bool engineering = false;
};

WindowOptions WindowOptionsFrom(const std::vector<std::string>& arguments);
