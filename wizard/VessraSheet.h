// The Orvane wizard: its thirteen pages in their order, the data they share
// and the confirmation before the wizard is left with operations listed.
//
// Which page leads where (Next unless said; each page's OnWizardNext and
// OnWizardBack decide it):
//   Welcome        -> Pending (only with operations queued at start) -> Select
//   Pending        -> Summary ("Laisser", or "Enlever": the queue taken over);
//                     "Ignorer" -> Select (the list emptied)
//   Select         -> File action (a file) | Folder action (a folder)
//                  Back -> Welcome (no operation yet) | Summary
//   File action    -> Rename file | Replace file | Move file;
//                     "Supprimer" adds the deletion -> Summary
//                  Back -> Select
//   Folder action  -> Rename folder | Move folder;
//                     "Supprimer" adds the deletion -> Summary
//                  Back -> Select
//   Rename, Replace and Move pages -> Summary (the operation added)
//                  Back -> their action page
//   Summary        "Ajouter" -> Select; "Processus >" -> Processes;
//                  Next runs the list -> Complete
//   Processes      Back -> Summary
//   Complete       Back -> Summary; Finish restarts when an operation waits
#pragma once

#include "inspect/ProcessPage.h"
#include "window/GuiHandles.h"
#include "window/WizardSheet.h"
#include "wizard/CompletePage.h"
#include "wizard/FilePage.h"
#include "wizard/FolderPage.h"
#include "wizard/MoveFilePage.h"
#include "wizard/MoveFolderPage.h"
#include "wizard/PendingPage.h"
#include "wizard/RenameFilePage.h"
#include "wizard/RenameFolderPage.h"
#include "wizard/ReplaceFilePage.h"
#include "wizard/SelectPage.h"
#include "wizard/SummaryPage.h"
#include "wizard/WelcomePage.h"

class CFileInfoList;
class CLongTask;

class CVessraSheet : public CWizardSheet
{
public:
    // The pending operations page is part of the sheet only when the list
    // holds operations now.
    explicit CVessraSheet(CFileInfoList& operations);

    CFileInfoList& GetOperations() const { return m_operations; }
    CSelectPage& GetSelectPage() { return m_selectPage; }
    CSummaryPage& GetSummaryPage() { return m_summaryPage; }
    CProcessPage& GetProcessPage() { return m_processPage; }

    // The long job under way on a page, if any: Cancel and the close box
    // stop it rather than close the wizard.
    void SetLongTask(CLongTask* task) { m_longTask = task; }

protected:
    void OnInitDialog() override;
    bool OnCancel() override;
    bool OnClose() override;

private:
    // True to leave; otherwise the summary page is shown.
    bool ConfirmQuit();

    CFileInfoList& m_operations;
    CLongTask* m_longTask = nullptr;
    CIcon m_largeIcon;
    CIcon m_smallIcon;
    CWelcomePage m_welcomePage;
    CPendingPage m_pendingPage;
    CSelectPage m_selectPage;
    CFilePage m_filePage;
    CReplaceFilePage m_replaceFilePage;
    CRenameFilePage m_renameFilePage;
    CMoveFilePage m_moveFilePage;
    CFolderPage m_folderPage;
    CRenameFolderPage m_renameFolderPage;
    CMoveFolderPage m_moveFolderPage;
    CSummaryPage m_summaryPage;
    CCompletePage m_completePage;
    CProcessPage m_processPage;
};
