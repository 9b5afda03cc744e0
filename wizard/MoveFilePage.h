// The folder that a file moves to, typed, chosen or dropped. The autostart
// entry chosen with the file follows it.
#pragma once

#include "wizard/DestinationPage.h"

class CMoveFilePage : public CDestinationPage
{
public:
    explicit CMoveFilePage(CVessraSheet& sheet);

protected:
    void ShowCurrent() override;
    LRESULT CheckAndAdd() override;
};
