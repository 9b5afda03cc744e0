// The new name of a folder, in its own parent folder.
#pragma once

#include "wizard/DestinationPage.h"

class CRenameFolderPage : public CDestinationPage
{
public:
    explicit CRenameFolderPage(CVessraSheet& sheet);

protected:
    void ShowCurrent() override;
    LRESULT CheckAndAdd() override;
};
