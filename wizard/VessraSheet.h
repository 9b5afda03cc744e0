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

#include "CompletePage.h"
#include "FilePage.h"
#include "FolderPage.h"
#include "GuiHandles.h"
#include "MoveFilePage.h"
#include "MoveFolderPage.h"
#include "PendingPage.h"
#include "ProcessPage.h"
#include "RenameFilePage.h"
#include "RenameFolderPage.h"
#include "ReplaceFilePage.h"
#include "SelectPage.h"
#include "SummaryPage.h"
#include "WelcomePage.h"
#include "WizardSheet.h"

class CFileInfoList;

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

protected:
    void OnInitDialog() override;
    bool OnCancel() override;
    bool OnClose() override;

private:
    // True to leave; otherwise the summary page is shown.
    bool ConfirmQuit();

    CFileInfoList& m_operations;
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
