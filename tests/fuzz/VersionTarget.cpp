// Version resources as a file may carry them: the fixed block of a
// resource laid out as the resource compiler does comes back as written,
// one cut short, with another key or signature is refused, and nothing is
// read past the resource's bytes. On Windows some resources also go into a
// program file of their own, read through the version library as the
// downgrade test and the process page read them.
#include "tests/fuzz/Fuzz.h"

#include "engine/ModuleVersion.h"
#include "tests/support/GuardedBytes.h"

#include <windows.h>

#if defined(_WIN32)
#include "tests/support/TestSupport.h"
#endif

#include <cstring>

namespace
{

// A version resource being written: blocks of a length, a value length, a
// type, a key, then the value and the children, each on a 32-bit boundary.
class CVersionWriter
{
public:
    std::size_t Begin(WORD valueLength, WORD type, const std::wstring& key)
    {
        const std::size_t start = m_bytes.size();
        Word(0);
        Word(valueLength);
        Word(type);
        for (const wchar_t c : key + L'\0')
            m_bytes.append(reinterpret_cast<const char*>(&c), sizeof(c));
        Align();
        return start;
    }
    void End(std::size_t start)
    {
        const WORD length = static_cast<WORD>(m_bytes.size() - start);
        std::memcpy(&m_bytes[start], &length, sizeof(length));
    }
    void Append(const void* bytes, std::size_t size)
    {
        m_bytes.append(static_cast<const char*>(bytes), size);
        Align();
    }
    void Word(WORD word) { m_bytes.append(reinterpret_cast<const char*>(&word), sizeof(word)); }
    void Align()
    {
        while (m_bytes.size() % 4)
            m_bytes += '\0';
    }
    std::string& Bytes() { return m_bytes; }

private:
    std::string m_bytes;
};

struct SResource
{
    std::string bytes;
    VS_FIXEDFILEINFO fixed{};
    std::string company; // as written, in ASCII
    bool intact = true;  // laid out as the resource compiler does
};

SResource MakeResource(CFuzzInput& input)
{
    SResource resource;
    const std::string raw = input.Bytes(sizeof(VS_FIXEDFILEINFO));
    std::memcpy(&resource.fixed, raw.data(), sizeof(resource.fixed));
    resource.fixed.dwSignature = input.OneIn(16) ? static_cast<DWORD>(input.Next()) : 0xFEEF04BD;
    resource.intact = resource.fixed.dwSignature == 0xFEEF04BD;
    static const wchar_t* const kKeys[] = {L"VS_VERSION_INFO", L"VS_VERSION_INFO", L"VS_VERSION_INFO",
                                           L"VS_VERSION_INF", L"vs_version_info", L"VS_VERSION_INFOX", L""};
    const std::wstring key = input.Pick(kKeys);
    resource.intact = resource.intact && key == L"VS_VERSION_INFO";

    CVersionWriter writer;
    const std::size_t root = writer.Begin(sizeof(VS_FIXEDFILEINFO), 0, key);
    writer.Append(&resource.fixed, sizeof(resource.fixed));
    if (!input.OneIn(4))
    {
        // The strings of one language and code page, named in the
        // translation table.
        static const char* const kCompanies[] = {"Hadrel", "", "A company with a long name", "x"};
        resource.company = input.Pick(kCompanies);
        const std::size_t files = writer.Begin(0, 1, L"StringFileInfo");
        const std::size_t table = writer.Begin(0, 1, L"040904E4");
        const std::wstring value(resource.company.begin(), resource.company.end());
        const std::size_t string = writer.Begin(static_cast<WORD>(value.size() + 1), 1, L"CompanyName");
        const std::wstring terminated = value + L'\0';
        writer.Append(terminated.data(), terminated.size() * sizeof(wchar_t));
        writer.End(string);
        writer.End(table);
        writer.End(files);
        const std::size_t vars = writer.Begin(0, 1, L"VarFileInfo");
        const DWORD translation = MAKELONG(0x0409, 0x04E4);
        const std::size_t var = writer.Begin(sizeof(translation), 0, L"Translation");
        writer.Append(&translation, sizeof(translation));
        writer.End(var);
        writer.End(vars);
    }
    writer.End(root);
    resource.bytes = writer.Bytes();

    // Damage now and then: a length, a value length, a byte, the end.
    switch (input.Below(8))
    {
    case 0:
        resource.bytes.resize(input.Below(resource.bytes.size()));
        resource.intact = false;
        break;
    case 1:
    {
        const WORD length = static_cast<WORD>(input.OneIn(2) ? input.Next() : resource.bytes.size() + 1);
        std::memcpy(&resource.bytes[0], &length, sizeof(length));
        resource.intact = false;
        break;
    }
    case 2:
    {
        const WORD valueLength = static_cast<WORD>(input.Below(sizeof(VS_FIXEDFILEINFO)));
        std::memcpy(&resource.bytes[2], &valueLength, sizeof(valueLength));
        resource.intact = false;
        break;
    }
    case 3:
        resource.bytes[input.Below(resource.bytes.size())] = static_cast<char>(input.Next());
        resource.intact = false;
        break;
    default:
        break;
    }
    return resource;
}

bool SameFixed(const VS_FIXEDFILEINFO& a, const VS_FIXEDFILEINFO& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

void CheckFixedBlock(CFuzzInput& input, const SResource& resource)
{
    CGuardedBytes guarded(resource.bytes.data(), resource.bytes.size(),
                          input.OneIn(2) ? CGuardedBytes::AgainstEnd : CGuardedBytes::AgainstStart);
    Expect(guarded.Data() != nullptr, "no memory for the resource");
    VS_FIXEDFILEINFO fixed{};
    std::memset(&fixed, 0x5A, sizeof(fixed));
    const VS_FIXEDFILEINFO before = fixed;
    const bool read =
        ParseFixedVersion(reinterpret_cast<const BYTE*>(guarded.Data()), resource.bytes.size(), fixed);
    if (resource.intact)
        Expect(read && SameFixed(fixed, resource.fixed), "the fixed block as written was not read back");
    if (!read)
    {
        Expect(SameFixed(fixed, before), "a refused resource changed the block");
        return;
    }
    // The key with its terminator, on a 32-bit boundary, then the block.
    const std::size_t value = (3 * sizeof(WORD) + 16 * sizeof(wchar_t) + 3) & ~static_cast<std::size_t>(3);
    Expect(fixed.dwSignature == 0xFEEF04BD, "a block without the signature was read");
    Expect(resource.bytes.size() >= value + sizeof(fixed) &&
               std::memcmp(&fixed, resource.bytes.data() + value, sizeof(fixed)) == 0,
           "the block read is not the bytes after the key");
}

#if defined(_WIN32)
// A program file holding nothing but the resource, as the version library
// finds it: one section of resources, a version resource of id 1.
std::string MakeProgram(const std::string& resource)
{
    const DWORD fileAlignment = 0x200;
    const DWORD sectionRva = 0x1000;
    // The directories: type, name, language, then the data entry.
    struct SDirectory
    {
        IMAGE_RESOURCE_DIRECTORY directory;
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
    };
    struct SResources
    {
        SDirectory types;
        SDirectory names;
        SDirectory languages;
        IMAGE_RESOURCE_DATA_ENTRY data;
    } directories{};
    const DWORD dataOffset = (sizeof(directories) + 7) & ~7u;
    directories.types.directory.NumberOfIdEntries = 1;
    directories.types.entry.Name = 16; // RT_VERSION
    directories.types.entry.OffsetToData = 0x80000000 | offsetof(SResources, names);
    directories.names.directory.NumberOfIdEntries = 1;
    directories.names.entry.Name = 1;
    directories.names.entry.OffsetToData = 0x80000000 | offsetof(SResources, languages);
    directories.languages.directory.NumberOfIdEntries = 1;
    directories.languages.entry.Name = 0x0409;
    directories.languages.entry.OffsetToData = offsetof(SResources, data);
    directories.data.OffsetToData = sectionRva + dataOffset;
    directories.data.Size = static_cast<DWORD>(resource.size());

    std::string section(reinterpret_cast<const char*>(&directories), sizeof(directories));
    section.resize(dataOffset, '\0');
    section += resource;
    const DWORD rawSize = (static_cast<DWORD>(section.size()) + fileAlignment - 1) & ~(fileAlignment - 1);
    section.resize(rawSize, '\0');

    IMAGE_DOS_HEADER dos{};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = sizeof(dos);
    IMAGE_NT_HEADERS nt{};
    nt.Signature = IMAGE_NT_SIGNATURE;
#if defined(_WIN64)
    nt.FileHeader.Machine = IMAGE_FILE_MACHINE_AMD64;
#else
    nt.FileHeader.Machine = IMAGE_FILE_MACHINE_I386;
#endif
    nt.FileHeader.NumberOfSections = 1;
    nt.FileHeader.SizeOfOptionalHeader = sizeof(nt.OptionalHeader);
    nt.FileHeader.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL;
    nt.OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR_MAGIC;
    nt.OptionalHeader.ImageBase = 0x10000000;
    nt.OptionalHeader.SectionAlignment = 0x1000;
    nt.OptionalHeader.FileAlignment = fileAlignment;
    nt.OptionalHeader.MajorOperatingSystemVersion = 4;
    nt.OptionalHeader.MajorSubsystemVersion = 4;
    nt.OptionalHeader.SizeOfImage = sectionRva + ((rawSize + 0xFFF) & ~0xFFFu);
    nt.OptionalHeader.SizeOfHeaders = fileAlignment;
    nt.OptionalHeader.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    nt.OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress = sectionRva;
    nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size = static_cast<DWORD>(section.size());
    IMAGE_SECTION_HEADER header{};
    std::memcpy(header.Name, ".rsrc", 5);
    header.Misc.VirtualSize = static_cast<DWORD>(section.size());
    header.VirtualAddress = sectionRva;
    header.SizeOfRawData = rawSize;
    header.PointerToRawData = fileAlignment;
    header.Characteristics = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;

    std::string file(reinterpret_cast<const char*>(&dos), sizeof(dos));
    file.append(reinterpret_cast<const char*>(&nt), sizeof(nt));
    file.append(reinterpret_cast<const char*>(&header), sizeof(header));
    file.resize(fileAlignment, '\0');
    return file + section;
}

// What the version library makes of the resource: a valid block only with
// its signature, the block the resource holds when it is whole, strings
// without a zero inside, and a file never older than itself.
void CheckProgramFile(const SResource& resource, bool fixedRead)
{
    static const CScratchDir folder;
    // A name of no system library: Wine would load its own in its place.
    const std::string path = folder / "orvfuzz-resource.dll";
    Expect(WriteFileBytes(path, MakeProgram(resource.bytes)), "the program file could not be written");
    CModuleVersion version;
    const bool loaded = version.LoadFromFile(path);
    const std::string company = version.GetStringValue("CompanyName");
    const std::string other = version.GetStringValue("FileDescription");
    Expect(!loaded || version.dwSignature == 0xFEEF04BD, "a block without the signature was loaded");
    Expect(loaded || (company.empty() && other.empty()), "strings were read from a resource that did not load");
    Expect(company.find('\0') == std::string::npos && other.find('\0') == std::string::npos,
           "a string value holds a zero byte");
    if (resource.intact && fixedRead)
    {
        Expect(loaded, "the version library refused a whole resource");
        Expect(SameFixed(version, resource.fixed), "the version library read another block: " +
                                                      Escape(std::string(reinterpret_cast<const char*>(
                                                                             static_cast<const VS_FIXEDFILEINFO*>(&version)),
                                                                         sizeof(VS_FIXEDFILEINFO))));
        Expect(company == resource.company, "the company name is not the one written");
    }
    Expect(IsNotOlderVersion(path, path), "a file was taken for older than itself");
}
#endif

} // namespace

void FuzzVersionResource(CFuzzInput& input)
{
    const SResource resource = MakeResource(input);
    input.Show("resource", resource.bytes);
    CheckFixedBlock(input, resource);
#if defined(_WIN32)
    if (input.OneIn(16))
    {
        VS_FIXEDFILEINFO fixed{};
        const bool fixedRead = ParseFixedVersion(reinterpret_cast<const BYTE*>(resource.bytes.data()),
                                                 resource.bytes.size(), fixed);
        CheckProgramFile(resource, fixedRead);
    }
#endif
}
