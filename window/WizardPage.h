// One page of a CWizardSheet: a dialog template whose wizard notifications
// arrive as virtual handlers.
#pragma once

#include "window/Dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

class CWizardSheet;

// The answer of the Next and Back handlers: the dialog id of the page to
// show next, or one of these.
enum : LRESULT
{
    WizardStay = -1,    // the current page stays
    WizardDefault = 0,  // the neighbour page in the sheet's order
};

class CWizardPage : public CDialog
{
public:
    // Exterior page: no header, the sheet's watermark; control 1020 is the
    // big title and gets the sheet's title font.
    explicit CWizardPage(UINT dialogId);
    // Interior page: the sheet's header bitmap with a title and a subtitle.
    CWizardPage(UINT dialogId, UINT headerTitleId, UINT headerSubtitleId);

    bool IsExterior() const { return m_exterior; }

    // The property-sheet page of this object, for the sheet it joins.
    HPROPSHEETPAGE CreatePageHandle(CWizardSheet& sheet);

protected:
    CWizardSheet& GetSheet() const { return *m_sheet; }

    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

    // False refuses the activation.
    virtual bool OnSetActive();
    virtual LRESULT OnWizardNext();
    virtual LRESULT OnWizardBack();
    // False keeps the wizard open.
    virtual bool OnWizardFinish();

    // Posted, so that it takes effect after the current handler: a
    // combination of PSWIZB_BACK, PSWIZB_NEXT and PSWIZB_FINISH.
    void SetWizardButtons(DWORD buttons) const;
    // Gives the controls the sheet's bold font.
    void SetBoldFont(int firstId, int lastId) const;

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool m_exterior;
    UINT m_headerTitleId = 0;
    UINT m_headerSubtitleId = 0;
    CWizardSheet* m_sheet = nullptr;
};
