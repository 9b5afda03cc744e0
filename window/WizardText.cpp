#include "window/WizardText.h"

std::vector<std::string> SplitColumnTitles(const std::string& text)
{
    std::vector<std::string> titles;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(';', start)) != std::string::npos; start = end + 1)
        titles.push_back(text.substr(start, end - start));
    if (start < text.size())
        titles.push_back(text.substr(start));
    return titles;
}
