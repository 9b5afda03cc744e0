// Small text rules of the wizard, free of any window.
#pragma once

#include <string>
#include <vector>

// Column titles of a list: the text split at each ';'; the empty text after a
// last ';' makes no column.
std::vector<std::string> SplitColumnTitles(const std::string& text);
