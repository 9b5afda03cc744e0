// orvscanbench PATH [ROUNDS]: the holder scan of PATH against the module scan
// alone, over the same processes, each run ROUNDS times in turn; prints the
// median times in microseconds and what each found:
//   modules <us> <holders> scan <us> <holders>
#include "inspect/HolderScan.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

double NowUs()
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fputs("usage: orvscanbench PATH [ROUNDS]\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<double> modules;
    std::vector<double> scans;
    std::size_t moduleHolders = 0;
    std::size_t holders = 0;
    // One scan on a scanner of its own: its time, and what it found.
    const auto time = [&](bool (CHolderScan::*method)(const std::string&, CHolderList&), std::vector<double>& times,
                          std::size_t& count) {
        CHolderScan scan;
        CHolderList found;
        const double start = NowUs();
        if (!(scan.*method)(path, found))
            return false;
        times.push_back(NowUs() - start);
        count = found.size();
        return true;
    };
    for (int round = 0; round < rounds; ++round)
    {
        if (!time(&CHolderScan::ScanModules, modules, moduleHolders) || !time(&CHolderScan::Scan, scans, holders))
            return 1;
    }
    std::printf("modules %.0f %u scan %.0f %u\n", Median(modules), static_cast<unsigned>(moduleHolders),
                Median(scans), static_cast<unsigned>(holders));
    return 0;
}
