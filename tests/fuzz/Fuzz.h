// Generated inputs for the rules that read outside data. Each input comes
// from one seed alone, so that a failure can be made again; each target
// mixes fragments its parser knows with raw bytes, hands them over in
// exactly as much memory as they take, and checks properties of what comes
// back, not only that nothing crashed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

class CFuzzInput
{
public:
    explicit CFuzzInput(std::uint64_t seed) : m_seed(seed), m_state(seed) {}

    std::uint64_t Seed() const { return m_seed; }
    std::uint64_t Next();
    // 0 up to bound - 1 (0 when bound is 0).
    std::size_t Below(std::size_t bound);
    bool OneIn(std::size_t n) { return Below(n) == 0; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N])
    {
        return items[Below(N)];
    }
    template <typename T>
    const T& Pick(const std::vector<T>& items)
    {
        return items[Below(items.size())];
    }
    // A count: mostly below 8, often below 64, sometimes up to 4096,
    // rarely up to `huge`.
    std::size_t Count(std::size_t huge = std::size_t(1) << 20);
    std::string Bytes(std::size_t size);
    // `pieces` pieces, each a fragment (mostly), a run of raw bytes or one
    // byte of `alphabet`.
    std::string Mix(const std::vector<std::string>& fragments, std::size_t pieces,
                    const std::string& alphabet = std::string());
    // The same in UTF-16 units (raw units of any value).
    std::wstring MixWide(const std::vector<std::wstring>& fragments, std::size_t pieces,
                         const std::wstring& alphabet = std::wstring());

    // What a failure shows of this input.
    void Show(const char* name, const std::string& bytes);
    void Show(const char* name, const std::wstring& text);
    std::string Shown() const;

private:
    std::uint64_t m_seed;
    std::uint64_t m_state;
    struct SShown
    {
        const char* name;
        std::string head; // the first bytes, escaped when shown
        std::size_t size;
        bool wide;
    };
    std::vector<SShown> m_shown;
};

// A property that did not hold for the input.
class CFuzzFailure : public std::exception
{
public:
    explicit CFuzzFailure(std::string what) : m_what(std::move(what)) {}
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::string m_what;
};

inline void Expect(bool holds, const char* property)
{
    if (!holds)
        throw CFuzzFailure(property);
}

inline void Expect(bool holds, const std::string& property)
{
    if (!holds)
        throw CFuzzFailure(property);
}

// A text shown with its bytes readable: printable ASCII as it is, others as
// \xNN (\0, \r, \n, \t by name).
std::string Escape(const std::string& bytes);

// One target: its name on the report line and its run of one input. A hang
// is reported after `limitSeconds` of one input.
struct SFuzzTarget
{
    const char* name;
    void (*run)(CFuzzInput& input);
    unsigned limitSeconds;
};

// The targets of this build, in their order.
const std::vector<SFuzzTarget>& FuzzTargets();

// The code page whose lead bytes the multibyte rules see: 932 for some
// inputs, so that lead and trail bytes reach every rule; 0 for the ANSI
// code page again.
void SetMultibyteCodePage(unsigned codePage);

// The multibyte code page for the rest of a target's input, set back to
// the ANSI code page after it whatever happens.
class CMultibyteCodePage
{
public:
    explicit CMultibyteCodePage(CFuzzInput& input);
    ~CMultibyteCodePage() { SetMultibyteCodePage(0); }
    CMultibyteCodePage(const CMultibyteCodePage&) = delete;
    CMultibyteCodePage& operator=(const CMultibyteCodePage&) = delete;

    // True for the ANSI code page (1252, without lead bytes).
    bool IsSingleByte() const { return m_singleByte; }

private:
    bool m_singleByte = true;
};

// The targets' runs of one input.
void FuzzQueueValue(CFuzzInput& input);
void FuzzRenameSection(CFuzzInput& input);
void FuzzCommandLine(CFuzzInput& input);
void FuzzAutostartCommand(CFuzzInput& input);
void FuzzHandleTable(CFuzzInput& input);
void FuzzObjectName(CFuzzInput& input);
void FuzzNativePath(CFuzzInput& input);
void FuzzVersionResource(CFuzzInput& input);
void FuzzOrvlineCommandLines(CFuzzInput& input);
