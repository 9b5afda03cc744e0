// The operation tree of the summary page: one top-level line per operation
// with its details as child lines, a picture for a file or a folder and an
// overlay for the outcome. The lines point into the operation list; the
// tree owns none of the operations.
//
// The tree keeps the handle of each top-level line with what the line shows,
// so that it is filled and brought up to date in one pass, without asking
// the control about each line. An operation's child lines are made when the
// line is first expanded; a short list is shown expanded.
#pragma once

#include "window/GuiHandles.h"
#include "window/TreeView.h"

#include <string>
#include <vector>

class CFileInfo;
class CFileInfoList;

class CFileTreeCtrl : public CTreeView
{
public:
    // Lists of up to this many operations are shown with every line expanded.
    static constexpr std::size_t kExpandedListLimit = 100;

    // Takes over the dialog's tree control, so that the window's own keys
    // pressed with Alt reach the system even while the tree has the focus.
    bool SubclassWindow(HWND hwnd);

    // The image list of the tree, with the outcome pictures as overlays 1 to
    // 3; false when it cannot be built.
    bool Init();

    // The top-level line of the operation, with an expand button; its child
    // lines are made when it is first expanded. Null when it cannot be added.
    HTREEITEM InsertOperation(CFileInfo& operation);
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
    bool Fill(const CFileInfoList& operations);
    // The tree brought in line with the list: the operations added since
    // the last fill are appended when every line still shows its operation
    // as it stands; otherwise the tree is filled again.
    bool Update(const CFileInfoList& operations);
    // Removes a top-level line with its child lines.
    bool DeleteOperation(HTREEITEM item);

    // The tree's notifications to its parent; true when handled here.
    bool OnNotify(const NMHDR& header, LRESULT& result);

private:
    // A top-level line and the outcome it shows.
    struct SLine
    {
        HTREEITEM item;
        const CFileInfo* operation;
        LONG status;
        DWORD errorCode;
    };

    bool InsertOperations(const CFileInfoList& operations, std::size_t first);
    void InsertDetails(HTREEITEM top, const CFileInfo& operation) const;

    CImageList m_images;
    std::vector<SLine> m_lines;
};
