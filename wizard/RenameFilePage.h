// The new name of a file, in its own folder. The autostart entry chosen
// with the file follows it.
#pragma once

#include "wizard/DestinationPage.h"

class CRenameFilePage : public CDestinationPage
{
public:
    explicit CRenameFilePage(CVessraSheet& sheet);

protected:
    void ShowCurrent() override;
    LRESULT CheckAndAdd() override;
};
