#include "ui/WindowOptions.h"

#include <algorithm>

WindowOptions WindowOptionsFrom(const std::vector<std::string>& arguments) {
    WindowOptions options;
    options.engineering =
        std::find(arguments.begin(), arguments.end(), "--engineering") != arguments.end();
    return options;
}
