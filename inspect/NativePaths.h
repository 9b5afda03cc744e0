// The native names that the system gives open files and early processes,
// as the drive paths that the holder scan compares.
#pragma once

#include <string>
#include <vector>

// True when `path` names `target` itself or something inside it: a file of
// the folder, or a stream of the file ("held.txt:notes"). No case; both
// are full paths, a trailing backslash of either is not part of the name.
bool IsAtOrBelow(const std::string& path, const std::string& target);

// One drive letter and the device it stands for, as QueryDosDeviceA tells.
struct SDosDevice
{
    std::string drive;  // "C:"
    std::string device; // "\Device\HarddiskVolume2"
};

// The drive letters of this system and their devices.
std::vector<SDosDevice> ReadDosDevices();

// The drive path of the native name of an open file: "\??\C:\x" (as Wine
// names files; also "\GLOBAL??\" and "\DosDevices\"), a device of `devices`
// followed by the rest of the path ("\Device\HarddiskVolume2\x" is "C:\x"
// when C: is that device), network names ("\??\UNC\s\share\x",
// "\Device\Mup\s\share\x" are "\\s\share\x"). Empty when the name has no
// drive path (pipes, devices, a volume that no letter shows).
std::string MapNativePath(const std::string& native, const std::vector<SDosDevice>& devices);

// The same path with the first drive letter of its volume: a volume that
// two letters show is named by one of them in the handle table.
std::string WithFirstLetterOfItsVolume(const std::string& path, const std::vector<SDosDevice>& devices);

// The native names of the images that early system processes report
// ("\SystemRoot\...", "\??\C:\...") as plain paths, environment strings
// expanded, blanks and double quotes trimmed at both ends.
std::string NormalizeImagePath(const std::string& raw);
