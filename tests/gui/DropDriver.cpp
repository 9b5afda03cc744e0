#include "tests/gui/DropDriver.h"

#include "engine/Text.h"

#include <shlobj.h>

#include <cstring>

namespace
{

// One format, handed out as a fresh global block on every request.
class CTestDataObject : public IDataObject
{
public:
    CTestDataObject(CLIPFORMAT format, const std::string& bytes) : m_format(format), m_bytes(bytes) {}
    virtual ~CTestDataObject() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject))
        {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG references = ::InterlockedDecrement(&m_references);
        if (references == 0)
            delete this;
        return static_cast<ULONG>(references);
    }

    STDMETHODIMP GetData(FORMATETC* wanted, STGMEDIUM* medium) override
    {
        if (!wanted || !medium)
            return E_INVALIDARG;
        if (QueryGetData(wanted) != S_OK)
            return DV_E_FORMATETC;
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, m_bytes.size());
        if (!block)
            return E_OUTOFMEMORY;
        std::memcpy(::GlobalLock(block), m_bytes.data(), m_bytes.size());
        ::GlobalUnlock(block);
        *medium = STGMEDIUM{};
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* wanted) override
    {
        return wanted && wanted->cfFormat == m_format && (wanted->tymed & TYMED_HGLOBAL) ? S_OK
                                                                                           : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC format{};
        format.cfFormat = m_format;
        format.dwAspect = DVASPECT_CONTENT;
        format.lindex = -1;
        format.tymed = TYMED_HGLOBAL;
        return ::SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    CLIPFORMAT m_format;
    std::string m_bytes;
    LONG m_references = 1;
};

// Lets the drag pass over the target a few times, then drops.
class CTestDropSource : public IDropSource
{
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource))
        {
            *object = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return ++m_calls < 4 ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int m_calls = 0;
};

struct CPidl
{
    LPITEMIDLIST p = nullptr;
    ~CPidl() { ::CoTaskMemFree(p); }
};

std::string ListBytes(LPCITEMIDLIST list)
{
    return std::string(reinterpret_cast<const char*>(list), ::ILGetSize(list));
}

} // namespace

std::string MakeDropFiles(const std::vector<std::string>& paths, bool wide)
{
    DROPFILES header{};
    header.pFiles = sizeof(header);
    header.fWide = wide;
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof(header));
    const std::size_t unit = wide ? sizeof(wchar_t) : 1;
    for (const std::string& path : paths)
    {
        if (wide)
        {
            const std::wstring name = AnsiToWide(path);
            bytes.append(reinterpret_cast<const char*>(name.data()), name.size() * unit);
        }
        else
        {
            bytes += path;
        }
        bytes.append(unit, '\0');
    }
    bytes.append(unit, '\0');
    return bytes;
}

std::string MakeIdListArray(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return std::string();
    CPidl first;
    if (FAILED(::SHParseDisplayName(AnsiToWide(paths[0]).c_str(), nullptr, &first.p, 0, nullptr)))
        return std::string();
    ::ILRemoveLastID(first.p);
    std::vector<std::string> lists = {ListBytes(first.p)};
    for (const std::string& path : paths)
    {
        CPidl item;
        if (FAILED(::SHParseDisplayName(AnsiToWide(path).c_str(), nullptr, &item.p, 0, nullptr)))
            return std::string();
        lists.push_back(ListBytes(::ILFindLastID(item.p)));
    }

    const UINT count = static_cast<UINT>(paths.size());
    std::string bytes(reinterpret_cast<const char*>(&count), sizeof(count));
    UINT offset = static_cast<UINT>(sizeof(UINT) * (lists.size() + 1));
    for (const std::string& list : lists)
    {
        bytes.append(reinterpret_cast<const char*>(&offset), sizeof(offset));
        offset += static_cast<UINT>(list.size());
    }
    for (const std::string& list : lists)
        bytes += list;
    return bytes;
}

CLIPFORMAT IdListArrayFormat()
{
    return static_cast<CLIPFORMAT>(::RegisterClipboardFormatA("Shell IDList Array"));
}

bool DropOnWindow(HWND target, CLIPFORMAT format, const std::string& bytes)
{
    RECT rect{};
    if (!::GetWindowRect(target, &rect))
        return false;
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    auto* data = new CTestDataObject(format, bytes);
    CTestDropSource source;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = ::DoDragDrop(data, &source, DROPEFFECT_COPY, &effect);
    data->Release();
    return result == DRAGDROP_S_DROP && effect == DROPEFFECT_COPY;
}
