// The common part of the five pages that ask for the second path of an
// operation: the object acted on (the selected path, read-only), an input
// field that keeps its text between visits and has the focus, a chooser
// and drops for the move and replace pages, and Back to the action page.
// Each page checks its input in its own order and adds the operation.
#pragma once

#include "engine/RegistryEntry.h"
#include "window/WizardPage.h"
#include "wizard/DropPage.h"

#include <memory>
#include <string>
#include <vector>

class CFileInfoList;
class CVessraSheet;

// Posted by a page to itself: the input field takes the focus once the page
// is shown.
constexpr UINT WM_FOCUS_INPUT = 0x8001;

class CDestinationPage : public CDropPage
{
public:
    // What the page asks for, which decides its chooser and the dropped
    // paths it takes.
    enum EInput
    {
        InputName,    // typed only
        InputFolder,  // folder browser; the first dropped folder
        InputFile,    // open-file dialog; the first dropped file
    };

    CDestinationPage(CVessraSheet& sheet, UINT dialogId, UINT titleId, UINT subtitleId, EInput input,
                     int inputId, UINT backPage);

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

    // The read-only texts of the current path.
    virtual void ShowCurrent() = 0;
    // The page's rules over the current path and the trimmed input, in
    // their order: a wizard-next code (the summary page once added).
    virtual LRESULT CheckAndAdd() = 0;

    const std::string& GetCurrentPath() const { return m_currentPath; }
    const std::string& GetInput() const { return m_input; }
    std::unique_ptr<CRegistryEntry> TakeRegistryEntry() const;

    // Rule failures and questions; false when the user answered No.
    static LRESULT Refuse(UINT messageId, UINT type = MB_ICONHAND);
    static bool Confirm(UINT questionId);
    // The rules of a new name for the current path, in their order (the
    // extension question only when asked for): true with the joined target;
    // false with the page's answer once a rule refused or the user said No.
    bool CheckNewName(bool askExtension, std::string& target, LRESULT& answer) const;
    // The operation joins the list: the summary page; or message 36 with
    // the reason, and the page stays.
    LRESULT AddOperation(const std::string& source, const std::string& destination,
                         std::unique_ptr<CRegistryEntry> entry) const;

private:
    void OnBrowse();
    void OnFilesDropped(const std::vector<std::string>& paths) override;
    bool IsSuitableDrop(const std::string& path) const;

    CVessraSheet& m_sheet;
    EInput m_inputKind;
    int m_inputId;
    UINT m_backPage;
    std::string m_currentPath;
    std::string m_input;
};
