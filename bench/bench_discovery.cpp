// Benchmark: editor discovery over Program Files trees shaped like real
// installs. Three Visual Studio folders of 30,000 files each, whose
// devenv.exe lies in Common7\IDE behind big sibling folders, so that the
// search reads nearly every entry before it finds the editor. Windows' list
// of Visual Studio instances (the tests' stand-in for the Setup
// Configuration server, registered for the run) names those three and a
// fourth install outside Program Files. The setup program's discovery (walk
// and list, four editors registered in an empty store) against a plain
// FindFirstFileExW walk of the Program Files tree, both in this process.
//
// Target: within 1.2x of the plain walk.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup.h"
#include "store_keys.h"
#include "benchutil.h"
#include "testutil.h"

using namespace testutil;

namespace {

const wchar_t* const kInstalls[] = {L"Microsoft Visual Studio 12.0", L"Microsoft Visual Studio 14.0",
                                    L"Microsoft Visual Studio 15.0"};
// Folders that a listing of Common7\IDE gives before devenv.exe.
const wchar_t* const kBigSiblings[] = {L"Assets", L"CommonExtensions", L"Cache"};
const int kSubFolders = 100;
const int kFilesPerFolder = 100;  // 3 siblings x 100 x 100 = 30,000 files an install
const int kRounds = 5;

int WriteEmptyFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    return 1;
}

int BuildInstall(const std::wstring& folder) {
    std::wstring ide = folder + L"\\Common7\\IDE";
    for (const wchar_t* sibling : kBigSiblings) {
        for (int s = 0; s < kSubFolders; ++s) {
            std::wstring sub = ide + L"\\" + sibling + L"\\part" + std::to_wstring(s);
            if (!MakeFolders(sub)) return 0;
            for (int f = 0; f < kFilesPerFolder; ++f) {
                if (!WriteEmptyFile(sub + L"\\file" + std::to_wstring(f) + L".dll")) return 0;
            }
        }
    }
    return CreateFakeDevenv(ide, L"Microsoft Visual Studio", L"15.0.0") != L"";
}

// The baseline: every entry of the tree, depth first, one FindFirstFileExW
// listing a folder.
long long Walk(const std::wstring& folder) {
    long long files = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const wchar_t* name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
            files += Walk(folder + L"\\" + name);
        } else {
            files++;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return files;
}

double TimeWalk(const std::wstring& programFiles, long long* files) {
    double start = bench::Now();
    *files = Walk(programFiles);
    return bench::Now() - start;
}

double TimeDiscovery(int* editors) {
    ZeroMemory(&g_setup, sizeof(g_setup));
    ResetStore();
    double start = bench::Now();
    KalSetRegMidPathW(kAppMidPath);
    *editors = DiscoverEditors();
    return bench::Now() - start;
}

}  // namespace

int main() {
    TempDir drive;
    std::wstring programFiles = drive.Sub(L"Program Files");
    for (const wchar_t* install : kInstalls) {
        if (!BuildInstall(JoinPath(programFiles, install))) {
            printf("bench_discovery: cannot lay out the tree\n");
            return 1;
        }
    }
    std::vector<FakeInstance> listed;
    for (const wchar_t* install : kInstalls) listed.push_back({JoinPath(programFiles, install)});
    const std::wstring elsewhere = drive.Sub(L"VS\\2022");
    if (CreateFakeDevenv(JoinPath(elsewhere, L"Common7\\IDE"), L"Visual Studio", L"17.0") == L"") {
        printf("bench_discovery: cannot lay out the tree\n");
        return 1;
    }
    listed.push_back({elsewhere});
    FakeSetupConfiguration server;
    if (!server.Ready() || !server.List(listed)) {
        printf("bench_discovery: cannot register the list of instances\n");
        return 1;
    }
    SystemDriveOverride systemDrive(drive.Path());
    ResetStore();

    long long files = 0;
    int editors = 0;
    TimeWalk(programFiles, &files);  // both runs start from a warm cache
    std::vector<double> walk, discovery;
    for (int round = 0; round < kRounds; ++round) {
        // Alternate the order, so that neither always follows the other.
        if (round % 2 == 0) {
            walk.push_back(TimeWalk(programFiles, &files));
            discovery.push_back(TimeDiscovery(&editors));
        } else {
            discovery.push_back(TimeDiscovery(&editors));
            walk.push_back(TimeWalk(programFiles, &files));
        }
        if (editors != 4) {
            printf("bench_discovery: %d editors found instead of 4\n", editors);
            ResetStore();
            return 1;
        }
        printf("round %d: discovery %.3f s, plain walk %.3f s\n", round + 1, discovery.back(),
               walk.back());
    }
    ResetStore();
    double d = bench::Median(discovery), w = bench::Median(walk);
    printf("discovery over %lld files, median of %d rounds: discovery %.3f s, plain walk %.3f s\n",
           files, kRounds, d, w);
    printf("ratio discovery / plain walk: %.2f (target <= 1.20)\n", d / w);
    return 0;
}
