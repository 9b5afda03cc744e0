// The list of the processes that hold a file: one row per CProcess, which
// the row owns. The control paints its empty text, sorts on header clicks
// and frees the records of deleted rows itself.
#pragma once

#include "inspect/Process.h"
#include "window/GuiHandles.h"
#include "window/ListView.h"

#include <memory>
#include <string>

class CProcessListCtrl : public CListView
{
public:
    CProcessListCtrl() = default;
    ~CProcessListCtrl() override;

    // Takes over the dialog's list control; its columns are set up from
    // the list's width.
    bool SubclassWindow(HWND hwnd);

    // Rebuilds the rows from the processes that hold `path`, loaded or
    // open, sorted by image name.
    void FillList(const std::string& path);
    // Deletes every row with its record.
    void DeleteAllRows();
    // Ends the processes of the selected rows, one after the other.
    void TerminateSelected();
    // Closes, once the user agreed for each, the handles that the selected
    // rows hold open on `path` (or inside it), then fills the list again; a
    // process whose handles could not all be closed keeps its row marked.
    void ReleaseSelected(const std::string& path);
    // Whether a row holds the file open, so that its handles can be closed.
    bool CanRelease(int item) const;
    // Ascending by the column: 1 process id, 2 description, else image name.
    void Sort(int column);

    CProcess* GetRecord(int item) const { return reinterpret_cast<CProcess*>(GetItemData(item)); }

    // The list's notifications to its parent, passed back by the parent:
    // row deletion and the info tip.
    bool HandleNotify(const NMHDR& header, LRESULT& result);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM column);

    void SetupColumns();
    // The row's tip: what its record tells of the process.
    std::string GetInfoText(int item) const;
    void RebuildImageList();
    // The row for a record; false (record freed) when it cannot be added.
    bool InsertRecord(std::unique_ptr<CProcess> record);
    void PaintEmptyText();
    void DeleteRow(int item);
    void FreeRecords();
    void Detach();

    CImageList m_images;
};
