#include "WizardText.h"

std::string TrimText(const std::string& text)
{
    static const char kWhiteSpace[] = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

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
