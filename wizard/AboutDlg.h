// The about box: product name in an enlarged font, icon, description, and
// the version and legal notice of the program's own version resource.
#pragma once

#include "engine/Handles.h"
#include "window/Dialog.h"

#include <string>

class CAboutDlg : public CDialog
{
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;

private:
    CGdiObject m_titleFont;
};

// The legal notice up to its first ".", leading dots skipped.
std::string GetFirstSentence(const std::string& text);
