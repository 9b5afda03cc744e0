// Native path names as the system gives them for open files and early
// processes: a name becomes a drive or network path only by its prefix,
// the rest of the name kept as it is, a device only when a whole component
// of the name is it; an image path loses its native prefix, its quotes and
// blanks and nothing else.
#include "tests/fuzz/Fuzz.h"

#include "inspect/NativePaths.h"

#include <windows.h>

#include <cctype>

namespace
{

const std::vector<std::string> kPieces = {
    "\\??\\", "\\GLOBAL??\\", "\\DosDevices\\", "\\dosdevices\\", "UNC\\", "unc", "C:", "c:\\", "Z:", "1:",
    "\\", "\\Device\\Mup\\", "\\Device\\LanmanRedirector\\", ";X:0000000000012345\\", ";", "\\Device\\",
    "\\Device\\HarddiskVolume1", "\\Device\\HarddiskVolume10", "\\device\\harddiskvolume1\\",
    "\\Device\\CdRom0", "\\Device\\NamedPipe\\x", "srv\\share\\f.txt", "a.txt", "\\x", "..", "\x81\\",
};

const std::vector<std::string> kDevices = {
    "\\Device\\HarddiskVolume1", "\\Device\\HarddiskVolume10", "\\Device\\CdRom0", "\\Device\\Harddisk0",
    "\\Device\\HarddiskVolume1\\", "", "\\", "\\??", "\\Device\\Mup",
};

bool BeginsWith(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
    {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void CheckMapping(CFuzzInput& input)
{
    std::vector<SDosDevice> devices;
    const std::size_t count = input.Below(6);
    for (std::size_t i = 0; i < count; ++i)
        devices.push_back({std::string(1, static_cast<char>('A' + input.Below(26))) + ":",
                           input.OneIn(4) ? input.Mix(kPieces, 1 + input.Below(3)) : input.Pick(kDevices)});
    const std::string native = input.Mix(kPieces, input.Count(400));
    input.Show("native", native);
    const std::string path = MapNativePath(native, devices);
    if (path.empty())
        return;
    input.Show("path", path);

    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                       path[2] == '\\';
    const bool network = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
    Expect(drive || network, "a native name became neither a drive nor a network path");
    Expect(EndsWith(native, path.substr(2)), "more of a native name than its prefix was changed");
    bool byPrefix = false;
    for (const char* prefix : {"\\??\\", "\\GLOBAL??\\", "\\DosDevices\\", "\\Device\\Mup\\", "\\Device\\LanmanRedirector\\"})
        byPrefix = byPrefix || BeginsWith(native, prefix);
    if (byPrefix)
        return;
    // Through a device: the name begins with that device's whole name.
    bool matched = false;
    for (const SDosDevice& device : devices)
    {
        if (device.drive == path.substr(0, 2) && !device.device.empty() && BeginsWith(native, device.device) &&
            native.size() > device.device.size() && native[device.device.size()] == '\\')
            matched = true;
    }
    Expect(matched, "a native name was taken for a device that is not a whole component of it");
}

void CheckImagePath(CFuzzInput& input)
{
    static const std::vector<std::string> kImages = {
        "\\SystemRoot", "\\systemroot", "\\??\\", "%SystemRoot%", "%windir%", "%NOSUCHVARIABLE%", "%", "\"", " ",
        "C:\\WINDOWS\\system32\\x.exe", "\\System32\\smss.exe", "\\\\?\\", "a", std::string(300, 'p'),
    };
    const std::string raw = input.Mix(kImages, input.Below(8));
    const std::string text = raw.substr(0, raw.find('\0'));
    input.Show("image", text);
    const std::string path = NormalizeImagePath(text);
    Expect(path.empty() || (path.front() != ' ' && path.front() != '"' && path.back() != ' ' && path.back() != '"'),
           "an image path keeps a blank or a quote at an end");
    if (text.find('%') != std::string::npos || BeginsWith(text, "\\SystemRoot"))
        return;
    std::string expected = BeginsWith(text, "\\??\\") ? text.substr(4) : text;
    const std::size_t last = expected.find_last_not_of(" \"");
    expected = last == std::string::npos ? std::string() : expected.substr(0, last + 1);
    expected.erase(0, expected.find_first_not_of(" \""));
    Expect(path == expected, "an image path lost more than its native prefix, quotes and blanks");
}

} // namespace

void FuzzNativePath(CFuzzInput& input)
{
    const CMultibyteCodePage codePage(input);
    CheckMapping(input);
    CheckImagePath(input);
}
