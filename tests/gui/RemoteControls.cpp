#include "RemoteControls.h"

#include "Handles.h"

#include <cstring>

namespace
{

// A block of memory in the process that owns a window.
class CRemoteMemory
{
public:
    CRemoteMemory(HWND window, SIZE_T size) : m_size(size)
    {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        m_process.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                      processId));
        if (m_process)
            m_address = static_cast<char*>(
                ::VirtualAllocEx(m_process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~CRemoteMemory()
    {
        if (m_address)
            ::VirtualFreeEx(m_process.Get(), m_address, 0, MEM_RELEASE);
    }
    CRemoteMemory(const CRemoteMemory&) = delete;
    CRemoteMemory& operator=(const CRemoteMemory&) = delete;

    bool IsValid() const { return m_address != nullptr; }
    char* At(SIZE_T offset) const { return m_address + offset; }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const
    {
        return offset + size <= m_size &&
               ::WriteProcessMemory(m_process.Get(), At(offset), data, size, nullptr);
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const
    {
        return offset + size <= m_size &&
               ::ReadProcessMemory(m_process.Get(), At(offset), data, size, nullptr);
    }

private:
    CHandle m_process;
    char* m_address = nullptr;
    SIZE_T m_size;
};

const SIZE_T kTextOffset = 512;
const SIZE_T kTextSize = 1024;

} // namespace

bool SelectListRow(HWND list, const std::string& text)
{
    CRemoteMemory memory(list, kTextOffset + kTextSize);
    if (!memory.IsValid() || text.size() >= kTextSize)
        return false;
    LVFINDINFOA find{};
    find.flags = LVFI_STRING;
    find.psz = memory.At(kTextOffset);
    if (!memory.Write(0, &find, sizeof(find)) || !memory.Write(kTextOffset, text.c_str(), text.size() + 1))
        return false;
    const int item = static_cast<int>(
        ::SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(memory.At(0))));
    if (item < 0)
        return false;
    LVITEMA state{};
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    return memory.Write(0, &state, sizeof(state)) &&
           ::SendMessageA(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(memory.At(0))) != FALSE;
}
