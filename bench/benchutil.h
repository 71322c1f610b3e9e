// Timing helpers shared by the benchmarks.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

// Seconds on the performance counter.
inline double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The median of a non-empty set of measurements: one slow round under a busy
// machine does not move it.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The value below which the given fraction of a non-empty set of
// measurements lies, taken between the two nearest ones: 0.25 and 0.75 give
// the quartiles, which tell how far the rounds spread.
inline double Quantile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const double at = fraction * static_cast<double>(values.size() - 1);
    const size_t below = static_cast<size_t>(at);
    if (below + 1 >= values.size()) return values.back();
    return values[below] + (at - static_cast<double>(below)) * (values[below + 1] - values[below]);
}

// Starts a command line in cwd (null: the current folder) and returns the
// process handle, or 0.
inline HANDLE StartLine(const std::wstring& line, const wchar_t* cwd) {
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// The size of a file, 0 when there is none.
inline LONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Waits at most limitMs until the file (a fake editor's log) has grown past
// size; 1 when it did.
inline int WaitForGrowth(const std::wstring& path, LONGLONG size, DWORD limitMs) {
    DWORD start = GetTickCount();
    while (FileSize(path) <= size) {
        if (GetTickCount() - start > limitMs) return 0;
        Sleep(1);
    }
    return 1;
}

}  // namespace bench
