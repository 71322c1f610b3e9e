// Benchmark: emptying a version folder of 20,000 files in nested folders.
// The launcher's own cleaning (the start decision with fDelVsFolder set, .suo
// file parked and put back included) against two baselines run on identical
// copies in the same process: the command interpreter's "rd /s /q", and a
// plain FindFirstFileExW + DeleteFileW/RemoveDirectoryW loop. The launcher
// and the plain loop run in seven rounds, so that their median ratio stays
// put from one run to the next; rd /s /q, a separate process whose own cost
// varies more, runs in the first three.
//
// Targets: no slower than rd /s /q, within 1.2x of the plain loop.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "launcher.h"
#include "benchutil.h"
#include "testutil.h"

using namespace testutil;

namespace {

const int kTopFolders = 20;
const int kSubFolders = 10;
const int kFilesPerFolder = 100;  // 20 x 10 x 100 = 20,000 files
const int kRounds = 7;
const int kRdRounds = 3;

int WriteSmallFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    WriteFile(file, "version folder data\r\n", 21, &written, nullptr);
    CloseHandle(file);
    return 1;
}

// Lays out the nested tree of 20,000 files under root.
int BuildTree(const std::wstring& root) {
    for (int t = 0; t < kTopFolders; ++t) {
        for (int s = 0; s < kSubFolders; ++s) {
            std::wstring folder =
                root + L"\\obj" + std::to_wstring(t) + L"\\part" + std::to_wstring(s);
            if (!MakeFolders(folder)) return 0;
            for (int f = 0; f < kFilesPerFolder; ++f) {
                if (!WriteSmallFile(folder + L"\\file" + std::to_wstring(f) + L".ipch")) return 0;
            }
        }
    }
    return 1;
}

// The plain loop: depth first, files deleted, folders removed on the way up.
void DeleteLoop(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* name = found.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteLoop(path);
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

double TimeLoop(const std::wstring& root) {
    double start = bench::Now();
    DeleteLoop(root);
    return bench::Now() - start;
}

double TimeRd(const std::wstring& root) {
    double start = bench::Now();
    HANDLE process = bench::StartLine(L"cmd.exe /c rd /s /q " + QuoteArg(root), nullptr);
    if (!process) return -1;
    WaitForSingleObject(process, INFINITE);
    double seconds = bench::Now() - start;
    CloseHandle(process);
    return seconds;
}

// The launcher's way: the start decision over a solution whose only version
// folder holds the tree, with cleaning on.
double TimeLauncher(const std::wstring& solutionFolder, HWND window) {
    ZeroMemory(&g_settings, sizeof(g_settings));
    g_settings.fDelVsFolder = 1;
    std::wstring sln = solutionFolder + L"\\App.sln";
    wcscpy_s(g_state.szSlnPath, sln.c_str());
    double start = bench::Now();
    DecideStart(window);
    double seconds = bench::Now() - start;
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    }
    return seconds;
}

}  // namespace

int main() {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ZeroMemory(&g_catalogue, sizeof(g_catalogue));
    g_catalogue.count = 1;
    wcscpy_s(g_catalogue.entries[0].description, L"Visual Studio 2022");
    wcscpy_s(g_catalogue.entries[0].version, L"17.8.3");
    wcscpy_s(g_catalogue.entries[0].folder, L"C:\\VS\\Common7\\IDE");

    std::vector<double> launcher, rd, loop;
    for (int round = 0; round < kRounds; ++round) {
        TempDir dir;
        std::wstring solution = dir.Sub(L"launcher");
        std::wstring version = solution + L"\\.vs\\App\\v17";
        std::wstring rdCopy = dir.Sub(L"rd\\v17");
        std::wstring loopCopy = dir.Sub(L"loop\\v17");
        const int withRd = round < kRdRounds;
        if (!BuildTree(version) || (withRd && !BuildTree(rdCopy)) || !BuildTree(loopCopy) ||
            !WriteFileUtf8(solution + L"\\.vs\\App\\.suo", L"options")) {
            printf("bench_clean: cannot lay out the trees\n");
            return 1;
        }
        // Each round runs them in another order, so that none always
        // profits from caches warmed by the one before.
        const int kinds = withRd ? 3 : 2;
        for (int k = 0; k < kinds; ++k) {
            switch ((round + k) % kinds) {
            case 0: launcher.push_back(TimeLauncher(solution, window)); break;
            case 1: loop.push_back(TimeLoop(loopCopy)); break;
            default: rd.push_back(TimeRd(rdCopy)); break;
            }
        }
        if (!ListFolder(version).empty() || (withRd && FolderExists(rdCopy)) ||
            !ListFolder(loopCopy).empty() ||
            ReadFileUtf8(solution + L"\\.vs\\App\\.suo") != L"options") {
            printf("bench_clean: a tree was not emptied or the .suo file was lost\n");
            return 1;
        }
        if (withRd) {
            printf("round %d: launcher %.3f s, rd /s /q %.3f s, loop %.3f s\n", round + 1,
                   launcher.back(), rd.back(), loop.back());
        } else {
            printf("round %d: launcher %.3f s, loop %.3f s\n", round + 1, launcher.back(),
                   loop.back());
        }
    }
    // Ratios are taken within each round, where the three ran back to back
    // under the same load, and the median of those is reported.
    std::vector<double> toRd, toLoop;
    for (int round = 0; round < kRounds; ++round) {
        if (round < kRdRounds) toRd.push_back(launcher[round] / rd[round]);
        toLoop.push_back(launcher[round] / loop[round]);
    }
    printf("cleaning %d files, median of %d rounds: launcher %.3f s, loop %.3f s; "
           "of %d rounds: rd /s /q %.3f s\n",
           kTopFolders * kSubFolders * kFilesPerFolder, kRounds, bench::Median(launcher),
           bench::Median(loop), kRdRounds, bench::Median(rd));
    printf("ratio launcher / rd /s /q: %.2f (target <= 1.00)\n", bench::Median(toRd));
    printf("ratio launcher / plain loop: %.2f (target <= 1.20)\n", bench::Median(toLoop));
    DestroyWindow(window);
    return 0;
}
