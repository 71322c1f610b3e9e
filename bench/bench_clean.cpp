// Benchmark: a version folder of 20,000 files in nested folders, cleaned.
//
// The user's wait: the road from starting Pikro.exe on a solution whose
// version folder holds the tree to the editor's start (launcher, shim, fake
// editor), with cleaning on, against the same road with cleaning off, in
// alternating order within each of eleven rounds, after one road that is
// not timed (the first start of a program copied afresh is slower). The launcher moves the
// tree aside before the start and deletes it after, so the wait should not
// grow with the tree.
//
// The whole cleaning: the launcher's start decision with fDelVsFolder set
// and then its deletion of what it moved aside (as at the end of its
// message loop), against two baselines run on identical copies in the same
// process: the command interpreter's "rd /s /q", and a plain
// FindFirstFileExW + DeleteFileW/RemoveDirectoryW loop. The launcher and
// the plain loop run in seven rounds, so that their median ratio stays put
// from one run to the next; rd /s /q, a separate process whose own cost
// varies more, runs in the first three.
//
// Targets: the road with cleaning within 1.15x of the road without; the
// whole cleaning no slower than rd /s /q and within 1.2x of the plain loop.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "launcher.h"
#include "benchutil.h"
#include "store_keys.h"
#include "testutil.h"

using namespace testutil;

namespace {

const int kTopFolders = 20;
const int kSubFolders = 10;
const int kFilesPerFolder = 100;  // 20 x 10 x 100 = 20,000 files
const int kRounds = 7;
const int kRdRounds = 3;
const int kRoadRounds = 11;
const DWORD kLimitMs = 120000;

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
// folder holds the tree, with cleaning on, then the deletion of what it
// moved aside, which the launcher does once its message loop has ended.
double TimeLauncher(const std::wstring& solutionFolder, HWND window) {
    ZeroMemory(&g_settings, sizeof(g_settings));
    g_settings.fDelVsFolder = 1;
    std::wstring sln = solutionFolder + L"\\App.sln";
    wcscpy_s(g_state.szSlnPath, sln.c_str());
    double start = bench::Now();
    DecideStart(window);
    DeleteMovedAside();
    double seconds = bench::Now() - start;
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    }
    return seconds;
}

// Starts the installed launcher on a solution and returns the seconds until
// the editor's log has grown, or -1. It then waits for the launcher to end
// (with cleaning on: its deletion) before the next road starts.
double TimeRoad(const std::wstring& launcher, const std::wstring& sln, const std::wstring& log,
                const std::wstring& cwd) {
    const LONGLONG size = bench::FileSize(log);
    const double start = bench::Now();
    HANDLE process = bench::StartLine(QuoteArg(launcher) + L" " + QuoteArg(sln), cwd.c_str());
    const int started = process && bench::WaitForGrowth(log, size, kLimitMs);
    const double seconds = bench::Now() - start;
    if (process) {
        WaitForSingleObject(process, kLimitMs);
        CloseHandle(process);
    }
    Sleep(100);  // the fake editor ends at once
    return started ? seconds : -1;
}

// The user's wait with cleaning on against the same road with it off.
// Returns the median of the rounds' ratios, or -1.
double RoadRatio() {
    TempDir dir;
    const std::wstring install = dir.Sub(L"Pikro");
    const std::wstring launcher = install + L"\\Pikro.exe";
    const std::wstring editor = dir.Sub(L"Microsoft Visual Studio\\2022\\Common7\\IDE");
    const std::wstring log = editor + L"\\devenv.log";
    if (!MakeFolders(install + L"\\PikroExec") ||
        !CopyFileW(ProgramPath(L"Pikro.exe").c_str(), launcher.c_str(), FALSE) ||
        !CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                   (install + L"\\PikroExec\\PikroExec.exe").c_str(), FALSE) ||
        CreateFakeDevenv(editor, L"Visual Studio 2022", L"17.8.3").empty() ||
        !BuildTree(dir.Sub(L"Off\\.vs\\App\\v17"))) {
        printf("bench_clean: cannot lay out the road\n");
        return -1;
    }
    ResetStore();
    PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.3", editor}});
    const std::wstring offSln = dir.Sub(L"Off\\App.sln");
    PutStoreDword(kSectProfiles, kKeyDelVsFolder, 0);
    TimeRoad(launcher, offSln, log, dir.Path());
    std::vector<double> on, off, ratios;
    for (int round = 0; round < kRoadRounds; ++round) {
        const std::wstring onFolder = dir.Sub(L"On" + std::to_wstring(round));
        if (!BuildTree(onFolder + L"\\.vs\\App\\v17")) {
            printf("bench_clean: cannot lay out the road\n");
            return -1;
        }
        // Writing the tree leaves the system busy for a while: the road
        // right after it took twice as long, whichever it was. One untimed
        // road lets it settle.
        PutStoreDword(kSectProfiles, kKeyDelVsFolder, 0);
        TimeRoad(launcher, offSln, log, dir.Path());
        // The two roads take turns at going first.
        for (int k = 0; k < 2; ++k) {
            const int cleaning = (round + k) % 2 == 0;
            PutStoreDword(kSectProfiles, kKeyDelVsFolder, cleaning ? 1 : 0);
            const std::wstring sln = cleaning ? onFolder + L"\\App.sln" : offSln;
            const double seconds = TimeRoad(launcher, sln, log, dir.Path());
            if (seconds < 0) {
                printf("bench_clean: the editor did not start\n");
                ResetStore();
                return -1;
            }
            (cleaning ? on : off).push_back(seconds);
        }
        if (!ListFolder(onFolder + L"\\.vs\\App\\v17").empty() ||
            ListFolder(onFolder + L"\\.vs\\App") != std::vector<std::wstring>{L"v17"}) {
            printf("bench_clean: the road left the version folder or its caches behind\n");
            ResetStore();
            return -1;
        }
        ratios.push_back(on.back() / off.back());
        printf("road round %d: with cleaning %.3f s, without %.3f s\n", round + 1, on.back(),
               off.back());
    }
    ResetStore();
    printf("road to the editor, median of %d rounds: with cleaning %.3f s, without %.3f s\n",
           kRoadRounds, bench::Median(on), bench::Median(off));
    return bench::Median(ratios);
}

}  // namespace

int main() {
    const double road = RoadRatio();
    if (road < 0) return 1;

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
    printf("ratio road with cleaning / road without cleaning: %.2f (target <= 1.15)\n", road);
    printf("ratio launcher / rd /s /q: %.2f (target <= 1.00)\n", bench::Median(toRd));
    printf("ratio launcher / plain loop: %.2f (target <= 1.20)\n", bench::Median(toLoop));
    DestroyWindow(window);
    return 0;
}
