// The operation tree of the summary page: one top-level line per operation
// with its details as child lines, a picture for a file or a folder and an
// overlay for the outcome. The lines point into the operation list; the
// tree owns none of the operations.
#pragma once

#include "GuiHandles.h"
#include "TreeView.h"

#include <string>

class CFileInfo;
class CFileInfoList;

class CFileTreeCtrl : public CTreeView
{
public:
    // Takes over the dialog's tree control, so that the window's own keys
    // pressed with Alt reach the system even while the tree has the focus.
    bool SubclassWindow(HWND hwnd);

    // The image list of the tree, with the outcome pictures as overlays 1 to
    // 3; false when it cannot be built.
    bool Init();

    // The top-level line of the operation and its child lines; null, and
    // nothing inserted, when the top line cannot be added.
    HTREEITEM InsertOperation(CFileInfo& operation) const;
    // Appends a child line; image < 0 gives a line of text only.
    HTREEITEM InsertChild(HTREEITEM parent, const std::string& text, int image) const;

    // The operation of the line (of the selected line when none is given);
    // null for a child line or when nothing is selected.
    CFileInfo* GetOperation(HTREEITEM item = nullptr) const;

    // Whether the processes holding a file may be shown for the line: a top
    // line (a folder is held by whatever holds something inside it), or the
    // first child of a file's line when the operation has a destination.
    bool CanShowProcesses(HTREEITEM item) const;

    // Every line removed, then one per operation in list order; false at the
    // first operation that cannot be shown (the ones after it are not).
    bool Fill(const CFileInfoList& operations) const;

private:
    CImageList m_images;
};
