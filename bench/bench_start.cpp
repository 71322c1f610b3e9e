// Benchmark: the time from starting the launcher with a solution to the
// editor having started (launcher, then the shim, then the editor), against
// two baselines run in the same process:
//  - the floor road: floor_start.exe (bench/floor_start.cpp), which does
//    what the launcher's start-up design cannot do without (a hidden
//    tool-window frame, the hidden choice dialog from the launcher's
//    template, one posted message) and then starts the same shim with the
//    same kind of parameters;
//  - three direct starts of the fake editor, one after the other, shown for
//    comparison only.
// All are timed the same way: until the editor's log record appears.
//
// A road takes some 60 ms, and from one round to the next it moves by more
// than the margin the target allows, so the figure comes from many rounds:
// each round times both roads back to back, in turns first, after one
// untimed road of each has warmed the files. The ratio of the two roads'
// medians is the figure; the quartiles of the rounds' own ratios show how
// far single rounds spread around it.
//
// Target: the launcher's road within 1.05x of the floor road.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store_keys.h"
#include "benchutil.h"
#include "testutil.h"

using namespace testutil;

namespace {

const int kRuns = 41;
const DWORD kLimitMs = 30000;

// Waits until the log has grown past size; 1 when it did in time.
int WaitForLogGrowth(const std::wstring& log, LONGLONG size) {
    return bench::WaitForGrowth(log, size, kLimitMs);
}

// Lets the editors of a run end before the next one starts.
void Settle(const std::wstring& editorFolder) {
    for (const DevenvRun& run : ReadFakeDevenvLog(editorFolder)) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, run.pid);
        if (process) {
            WaitForSingleObject(process, kLimitMs);
            CloseHandle(process);
        }
    }
    Sleep(100);
}

// Starts a command line and waits until the editor's log has grown and the
// started program has ended; returns the seconds to the log's growth, or -1.
double TimeRoad(const std::wstring& line, const std::wstring& cwd, const std::wstring& log) {
    const LONGLONG size = bench::FileSize(log);
    const double start = bench::Now();
    HANDLE process = bench::StartLine(line, cwd.c_str());
    const int grown = process && WaitForLogGrowth(log, size);
    const double seconds = bench::Now() - start;
    if (process) {
        WaitForSingleObject(process, kLimitMs);
        CloseHandle(process);
    }
    return grown ? seconds : -1;
}

}  // namespace

int main() {
    TempDir dir;
    std::wstring install = dir.Sub(L"Pikro");
    std::wstring editor = dir.Sub(L"Microsoft Visual Studio\\2022\\Common7\\IDE");
    std::wstring devenv = editor + L"\\devenv.exe";
    std::wstring log = editor + L"\\devenv.log";
    std::wstring sln = dir.Sub(L"App\\App.sln");
    if (!MakeFolders(install + L"\\PikroExec") ||
        !CopyFileW(ProgramPath(L"Pikro.exe").c_str(), (install + L"\\Pikro.exe").c_str(), FALSE) ||
        !CopyFileW(ProgramPath(L"floor_start.exe").c_str(), (install + L"\\floor_start.exe").c_str(),
                   FALSE) ||
        !CopyFileW(ProgramPath(L"PikroExec\\PikroExec.exe").c_str(),
                   (install + L"\\PikroExec\\PikroExec.exe").c_str(), FALSE) ||
        CreateFakeDevenv(editor, L"Visual Studio 2022", L"17.8.3").empty()) {
        printf("bench_start: cannot lay out the installation\n");
        return 1;
    }
    // No .vs folder beside the solution and a fixed editor: the launcher
    // starts it without showing anything.
    ResetStore();
    PutStoreCatalogue({{L"Visual Studio 2022", L"17.8.3", editor}});
    PutStoreDword(kSectProfiles, kKeyNoVsProc, 1);
    PutStoreDword(kSectProfiles, kKeyNoVsFix, 0);

    const std::wstring launcherLine = QuoteArg(install + L"\\Pikro.exe") + L" " + QuoteArg(sln);
    const std::wstring floorLine =
        QuoteArg(install + L"\\floor_start.exe") + L" " + QuoteArg(devenv) + L" " + QuoteArg(sln);
    const std::wstring editorLine = QuoteArg(devenv) + L" " + QuoteArg(sln);
    std::vector<double> viaLauncher, viaFloor, direct;
    int failed = 0;
    for (const std::wstring* line : {&launcherLine, &floorLine}) {
        failed = failed || TimeRoad(*line, dir.Path(), log) < 0;
        Settle(editor);
    }
    for (int run = 0; run < kRuns && !failed; ++run) {
        // The launcher and the floor take turns at going first, so that
        // neither always runs on a machine the other has just warmed.
        for (int k = 0; k < 2 && !failed; ++k) {
            const int launcherTurn = (run + k) % 2 == 0;
            const double seconds =
                TimeRoad(launcherTurn ? launcherLine : floorLine, dir.Path(), log);
            failed = seconds < 0;
            (launcherTurn ? viaLauncher : viaFloor).push_back(seconds);
            Settle(editor);
        }

        double start = bench::Now();
        for (int k = 0; k < 3 && !failed; ++k) {
            LONGLONG size = bench::FileSize(log);
            HANDLE process = bench::StartLine(editorLine, dir.Path().c_str());
            failed = !process || !WaitForLogGrowth(log, size);
            if (process) CloseHandle(process);
        }
        direct.push_back(bench::Now() - start);
        Settle(editor);
    }
    ResetStore();
    if (failed) {
        printf("bench_start: the editor did not start\n");
        return 1;
    }
    // Each round's measurements follow each other under the same load.
    std::vector<double> toFloor;
    for (size_t i = 0; i < viaLauncher.size(); ++i) toFloor.push_back(viaLauncher[i] / viaFloor[i]);
    printf("median of %d rounds: launcher to editor %.1f ms, floor road %.1f ms, "
           "three direct editor starts %.1f ms\n",
           kRuns, bench::Median(viaLauncher) * 1000, bench::Median(viaFloor) * 1000,
           bench::Median(direct) * 1000);
    printf("ratio launcher road / floor road: %.2f (target <= 1.05); rounds' ratios: "
           "quartiles %.2f, %.2f, %.2f\n",
           bench::Median(viaLauncher) / bench::Median(viaFloor), bench::Quantile(toFloor, 0.25),
           bench::Median(toFloor), bench::Quantile(toFloor, 0.75));
    printf("ratio launcher / three direct starts: %.2f (no target)\n",
           bench::Median(viaLauncher) / bench::Median(direct));
    return 0;
}
