#include "wizard/FileSystemDropTarget.h"

#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "wizard/ShellChoosers.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <new>

namespace
{

WORD ReadWord(const BYTE* at)
{
    WORD value = 0;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

UINT ReadDword(const BYTE* at)
{
    UINT value = 0;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

// The length of the item-ID list at `offset` without its 2-byte terminator;
// false when the list runs past the end of the block or is malformed.
bool MeasureIdList(const BYTE* block, SIZE_T size, SIZE_T offset, SIZE_T& length)
{
    SIZE_T at = offset;
    for (;;)
    {
        if (at > size || size - at < sizeof(WORD))
            return false;
        const WORD itemSize = ReadWord(block + at);
        if (itemSize == 0)
        {
            length = at - offset;
            return true;
        }
        // A size below its own field would never advance.
        if (itemSize < sizeof(WORD) || itemSize > size - at)
            return false;
        at += itemSize;
    }
}

} // namespace

bool JoinIdListArray(const BYTE* block, SIZE_T size, std::vector<std::vector<BYTE>>& lists)
{
    lists.clear();
    if (!block || size < sizeof(UINT))
        return false;
    const UINT count = ReadDword(block);
    // The count and the offsets that follow it.
    if (count >= size / sizeof(UINT) || (static_cast<SIZE_T>(count) + 2) * sizeof(UINT) > size)
        return false;

    const SIZE_T parentOffset = ReadDword(block + sizeof(UINT));
    SIZE_T parentLength = 0;
    if (!MeasureIdList(block, size, parentOffset, parentLength))
        return true;

    for (UINT i = 0; i < count; ++i)
    {
        const SIZE_T itemOffset = ReadDword(block + (static_cast<SIZE_T>(i) + 2) * sizeof(UINT));
        SIZE_T itemLength = 0;
        if (!MeasureIdList(block, size, itemOffset, itemLength))
            continue;
        itemLength += sizeof(WORD);
        std::vector<BYTE> joined(parentLength + itemLength);
        if (parentLength)
            std::memcpy(joined.data(), block + parentOffset, parentLength);
        std::memcpy(joined.data() + parentLength, block + itemOffset, itemLength);
        lists.push_back(std::move(joined));
    }
    return true;
}

bool IsDropFilesBlockSound(const BYTE* block, SIZE_T size)
{
    if (!block || size < sizeof(DROPFILES))
        return false;
    DROPFILES header{};
    std::memcpy(&header, block, sizeof(header));
    const SIZE_T start = header.pFiles;
    if (start < sizeof(DROPFILES) || start >= size)
        return false;
    // Names end with one terminator each and the list with one more.
    const SIZE_T unit = header.fWide ? sizeof(WCHAR) : sizeof(char);
    bool previousWasEnd = false;
    for (SIZE_T at = start; size - at >= unit; at += unit)
    {
        const bool end = unit == 1 ? block[at] == 0 : ReadWord(block + at) == 0;
        if (end && (previousWasEnd || at == start))
            return true;
        previousWasEnd = end;
    }
    return false;
}

CFileSystemDropTarget::CFileSystemDropTarget()
    : m_idListFormat(static_cast<CLIPFORMAT>(::RegisterClipboardFormatA("Shell IDList Array")))
{
}

CFileSystemDropTarget::~CFileSystemDropTarget()
{
    Revoke();
    ReleaseData();
}

bool CFileSystemDropTarget::Register(HWND owner, UINT message)
{
    Revoke();
    m_message = message;
    if (FAILED(::RegisterDragDrop(owner, this)))
        return false;
    m_owner = owner;
    return true;
}

void CFileSystemDropTarget::Revoke()
{
    if (m_owner)
        ::RevokeDragDrop(m_owner);
    m_owner = nullptr;
}

STDMETHODIMP CFileSystemDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget))
    {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFileSystemDropTarget::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_references));
}

STDMETHODIMP_(ULONG) CFileSystemDropTarget::Release()
{
    return static_cast<ULONG>(::InterlockedDecrement(&m_references));
}

bool CFileSystemDropTarget::IsAccepting() const
{
    return m_owner && ::IsWindowEnabled(m_owner);
}

CLIPFORMAT CFileSystemDropTarget::FindFormat(IDataObject* data) const
{
    if (!data || !IsAccepting())
        return 0;
    for (const CLIPFORMAT format : {static_cast<CLIPFORMAT>(CF_HDROP), m_idListFormat})
    {
        FORMATETC wanted{};
        wanted.cfFormat = format;
        wanted.dwAspect = DVASPECT_CONTENT;
        wanted.lindex = -1;
        wanted.tymed = TYMED_HGLOBAL;
        if (format && data->QueryGetData(&wanted) == S_OK)
            return format;
    }
    return 0;
}

STDMETHODIMP CFileSystemDropTarget::DragEnter(IDataObject* data, DWORD /*keys*/, POINTL /*point*/,
                                              DWORD* effect)
{
    m_effect = FindFormat(data) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    if (effect)
        *effect = m_effect;
    return S_OK;
}

STDMETHODIMP CFileSystemDropTarget::DragOver(DWORD /*keys*/, POINTL /*point*/, DWORD* effect)
{
    if (effect)
        *effect = m_effect;
    return S_OK;
}

STDMETHODIMP CFileSystemDropTarget::DragLeave()
{
    m_effect = DROPEFFECT_NONE;
    return S_OK;
}

STDMETHODIMP CFileSystemDropTarget::Drop(IDataObject* data, DWORD /*keys*/, POINTL /*point*/,
                                         DWORD* effect)
{
    if (effect)
        *effect = DROPEFFECT_NONE;
    m_effect = DROPEFFECT_NONE;
    ReleaseData();

    const CLIPFORMAT format = FindFormat(data);
    if (!format)
        return S_OK;
    FORMATETC wanted{};
    wanted.cfFormat = format;
    wanted.dwAspect = DVASPECT_CONTENT;
    wanted.lindex = -1;
    wanted.tymed = TYMED_HGLOBAL;
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&wanted, &medium)))
        return S_OK;
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal)
    {
        ::ReleaseStgMedium(&medium);
        return S_OK;
    }
    m_medium = medium;
    m_data = ::GlobalLock(m_medium.hGlobal);
    if (!m_data)
    {
        ReleaseData();
        return S_OK;
    }
    m_format = format;

    if (!m_owner || !::IsWindow(m_owner) || !m_message ||
        !::PostMessageA(m_owner, m_message, 0, 0))
    {
        ReleaseData();
        return S_OK;
    }
    if (effect)
        *effect = DROPEFFECT_COPY;
    return S_OK;
}

void CFileSystemDropTarget::ReleaseData()
{
    if (m_medium.tymed != TYMED_NULL)
    {
        if (m_data)
            ::GlobalUnlock(m_medium.hGlobal);
        ::ReleaseStgMedium(&m_medium);
    }
    m_medium = STGMEDIUM{};
    m_data = nullptr;
    m_format = 0;
}

bool CFileSystemDropTarget::GetDroppedFiles(std::vector<std::string>& paths)
{
    if (!m_data || !m_format)
        return false;
    paths.clear();
    bool read = true;
    try
    {
        if (m_format == CF_HDROP)
            ReadDropFiles(paths);
        else
            ReadIdListArray(paths);
    }
    catch (const std::bad_alloc&)
    {
        read = false;
    }
    ReleaseData();
    if (!read)
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return read;
}

void CFileSystemDropTarget::ReadDropFiles(std::vector<std::string>& paths) const
{
    // The block comes from another program: the shell parses it only once
    // its name list is known to end inside it.
    if (!IsDropFilesBlockSound(static_cast<const BYTE*>(m_data), ::GlobalSize(m_medium.hGlobal)))
        return;
    const auto drop = static_cast<HDROP>(m_medium.hGlobal);
    // The wide names where the shell has them (the NT family), each whole
    // and taken only when the code page holds it exactly: the narrow call
    // cuts a long name short and puts "?" and look-alikes in.
    using QueryWideProc = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    QueryWideProc queryWide = nullptr;
    const HMODULE shell = ::GetModuleHandleA("shell32.dll");
    if (!IsWindowsNT() || !shell || !ResolveExport(shell, "DragQueryFileW", queryWide))
        queryWide = nullptr;
    const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i)
    {
        if (queryWide)
        {
            const UINT length = queryWide(drop, i, nullptr, 0);
            std::wstring wide(length + 1, L'\0');
            std::string path;
            if (length > 0 && queryWide(drop, i, &wide[0], length + 1) == length)
            {
                wide.resize(length);
                if (WideToAnsiExact(wide, path))
                    paths.push_back(path);
            }
            continue;
        }
        char path[MAX_PATH] = {};
        if (::DragQueryFileA(drop, i, path, sizeof(path)) > 0)
            paths.push_back(path);
    }
}

void CFileSystemDropTarget::ReadIdListArray(std::vector<std::string>& paths) const
{
    std::vector<std::vector<BYTE>> lists;
    JoinIdListArray(static_cast<const BYTE*>(m_data), ::GlobalSize(m_medium.hGlobal), lists);
    for (const std::vector<BYTE>& list : lists)
    {
        std::string path;
        // Objects outside the file system have no path.
        if (GetItemListPath(reinterpret_cast<LPCITEMIDLIST>(list.data()), path))
            paths.push_back(path);
    }
}
