// A modal Wizard 97 property sheet over CWizardPage objects: its fonts, its
// watermark and header bitmaps, and the cancel and close requests.
#pragma once

#include "engine/Handles.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class CWizardPage;

class CWizardSheet
{
public:
    // The caption and the title font's face name are string ids; the bitmaps
    // are resource ids; bigTitleId is the control of each exterior page that
    // shows its title in that font.
    CWizardSheet(UINT captionId, HWND parent, UINT startPage, UINT watermarkId, UINT headerId,
                 UINT titleFaceId, int bigTitleId);
    virtual ~CWizardSheet() = default;

    CWizardSheet(const CWizardSheet&) = delete;
    CWizardSheet& operator=(const CWizardSheet&) = delete;

    // Pages are shown in the order they are added; the sheet does not own them.
    void AddPage(CWizardPage& page);

    // Runs the sheet until it ends; the property sheet's result, -1 when it
    // could not be shown.
    INT_PTR DoModal();

    // Shows one of the sheet's pages, outside the Next and Back order.
    bool SetActivePage(const CWizardPage& page) const;

    // Asks the sheet to repaint all of itself once the current page switch
    // is over (a page becoming active posts it).
    void PostRepaint() const;

    HWND GetHwnd() const { return m_hwnd; }
    HFONT GetBoldFont() const { return static_cast<HFONT>(m_boldFont.Get()); }
    HFONT GetTitleFont() const { return static_cast<HFONT>(m_titleFont.Get()); }
    int GetBigTitleId() const { return m_bigTitleId; }

protected:
    // The window exists; no page is created yet.
    virtual void OnInitDialog();
    // The Cancel button (or Escape): true lets the sheet end.
    virtual bool OnCancel();
    // The close command of the window: true lets it proceed as a cancel.
    virtual bool OnClose();

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    void Attach(HWND hwnd);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateFonts();

    std::string m_caption;
    HWND m_parent;
    UINT m_startPage;
    UINT m_titleFaceId;
    int m_bigTitleId;
    CGdiObject m_watermark;
    CGdiObject m_header;
    CGdiObject m_boldFont;
    CGdiObject m_titleFont;
    std::vector<CWizardPage*> m_pages;
    HWND m_hwnd = nullptr;
    WNDPROC m_baseProc = nullptr;
    bool m_closing = false;
};
