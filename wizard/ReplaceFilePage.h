// The file that replaces the selected one, typed, chosen or dropped; the
// version of the file replaced is shown, and a downgrade asks first.
#pragma once

#include "wizard/DestinationPage.h"

class CReplaceFilePage : public CDestinationPage
{
public:
    explicit CReplaceFilePage(CVessraSheet& sheet);

protected:
    void ShowCurrent() override;
    LRESULT CheckAndAdd() override;
};
