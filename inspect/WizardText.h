// Small text rules of the wizard, free of any window.
#pragma once

#include <string>

// The text without white space (blanks, tabs, line ends) at either end.
std::string TrimText(const std::string& text);
