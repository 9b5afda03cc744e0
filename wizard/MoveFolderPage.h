// The place that a folder moves to, on the same drive: typed, chosen or
// dropped.
#pragma once

#include "wizard/DestinationPage.h"

class CMoveFolderPage : public CDestinationPage
{
public:
    explicit CMoveFolderPage(CVessraSheet& sheet);

protected:
    void ShowCurrent() override;
    LRESULT CheckAndAdd() override;
};
