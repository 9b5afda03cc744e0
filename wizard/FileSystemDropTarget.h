// Accepts files and folders dropped from the shell. The drop only keeps
// the data and posts a message to the owner window; the owner reads the
// paths when it handles that message, after the source has been answered.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

// Posted to the owner window after a drop.
constexpr UINT WM_FILES_DROPPED = 0x8002;

class CFileSystemDropTarget : public IDropTarget
{
public:
    CFileSystemDropTarget();
    virtual ~CFileSystemDropTarget();

    CFileSystemDropTarget(const CFileSystemDropTarget&) = delete;
    CFileSystemDropTarget& operator=(const CFileSystemDropTarget&) = delete;

    // Makes the window a drop target that posts `message` (both parameters
    // 0) after a drop.
    bool Register(HWND owner, UINT message);
    // Before the window goes away.
    void Revoke();

    // The paths of the dropped objects (objects outside the file system are
    // left out), then the data is released. False when nothing is held, or
    // when memory ran out (the paths read so far stay).
    bool GetDroppedFiles(std::vector<std::string>& paths);

    // IUnknown: the object lives as long as its owner, not by its count.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDropTarget
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

private:
    // A disabled owner, busy with a long job, takes no drop.
    bool IsAccepting() const;
    CLIPFORMAT FindFormat(IDataObject* data) const;
    void ReleaseData();
    // The paths of the held data (both throw std::bad_alloc).
    void ReadDropFiles(std::vector<std::string>& paths) const;
    void ReadIdListArray(std::vector<std::string>& paths) const;

    CLIPFORMAT m_idListFormat;
    CLIPFORMAT m_format = 0;
    STGMEDIUM m_medium{};
    const void* m_data = nullptr;
    HWND m_owner = nullptr;
    UINT m_message = 0;
    DWORD m_effect = DROPEFFECT_NONE;
    LONG m_references = 0;
};

// The absolute item-ID lists of a "Shell IDList Array" block (count, then
// count + 1 offsets: the parent's list, then each item's list relative to
// it): the parent's list without its terminator followed by each item's
// list. Items whose offset or lists do not fit in the block are left out;
// false when the block cannot even hold its count and offsets.
bool JoinIdListArray(const BYTE* block, SIZE_T size, std::vector<std::vector<BYTE>>& lists);

// The bytes of the DROPFILES block end with the double terminator of its
// name list: the block can be handed to the shell's drop calls.
bool IsDropFilesBlockSound(const BYTE* block, SIZE_T size);
