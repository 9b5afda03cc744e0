// A long job of a wizard page on the program's one thread (listing a large
// folder tree, running the list) during which the wizard keeps painting and
// answering: the page and the wizard buttons are disabled, a text on the page
// tells how far the job has come, and the sheet's Cancel or close box stops
// the job between two objects instead of closing the wizard.
#pragma once

#include "engine/FileInfo.h"

#include <windows.h>

class CDialog;
class CVessraSheet;

class CLongTask : public CProgress
{
public:
    // `buttons` are the page's wizard buttons, given back at the end. The
    // progress goes to control `textId` of the page: string `formatId` with
    // the count done, and the total after it when the total is known (not 0).
    CLongTask(CVessraSheet& sheet, const CDialog& page, DWORD buttons, int textId, UINT formatId,
              std::size_t total = 0);
    ~CLongTask() override;

    CLongTask(const CLongTask&) = delete;
    CLongTask& operator=(const CLongTask&) = delete;

    // Shows the progress and handles what waits for the window now and then;
    // false once the user asked to stop.
    bool Continue(std::size_t done) override;

    // The user's request to stop, from the sheet.
    void Cancel() { m_cancelled = true; }
    bool IsCancelled() const { return m_cancelled; }
    // The count told last: where the job stood when it stopped.
    std::size_t GetDone() const { return m_done; }

private:
    void ShowProgress() const;
    void HandleMessages();

    CVessraSheet& m_sheet;
    const CDialog& m_page;
    DWORD m_buttons;
    int m_textId;
    UINT m_formatId;
    std::size_t m_total;
    std::size_t m_done = 0;
    bool m_cancelled = false;
    DWORD m_lastLook;
    HWND m_focus;
};
