// Puts the tests' stand-in for Visual Studio's Setup Configuration server in
// place: a copy of it beside an instance list, registered as the class
// SetupConfiguration.
#include "testutil.h"

#include <gtest/gtest.h>

namespace testutil {
namespace {

const wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{177F0C4A-1CD3-4DE7-A32C-71DBBB9FA36D}";
const wchar_t kServerName[] = L"fake_setup_config.dll";

}  // namespace

FakeSetupConfiguration::FakeSetupConfiguration() {
    const std::wstring server = dir_.Sub(kServerName);
    if (!CopyFileW(JoinPath(BinDir(), L"fakecom\\fake_setup_config.dll").c_str(), server.c_str(),
                   FALSE)) {
        ADD_FAILURE() << "cannot copy the Setup Configuration stand-in";
        return;
    }
    const std::wstring inproc = std::wstring(kClassKey) + L"\\InprocServer32";
    ready_ = List({}) && RegPutString(HKEY_LOCAL_MACHINE, kClassKey, NULL, L"SetupConfiguration") &&
             RegPutString(HKEY_LOCAL_MACHINE, inproc, NULL, server) &&
             RegPutString(HKEY_LOCAL_MACHINE, inproc, L"ThreadingModel", L"Both");
    if (!ready_) ADD_FAILURE() << "cannot register the Setup Configuration stand-in";
}

FakeSetupConfiguration::~FakeSetupConfiguration() {
    EXPECT_TRUE(Unregister());
}

int FakeSetupConfiguration::Unregister() {
    return DeleteRegTree(HKEY_LOCAL_MACHINE, kClassKey);
}

int FakeSetupConfiguration::List(const std::vector<FakeInstance>& instances, bool endless,
                                 bool createFails, int stallMs) {
    std::wstring text;
    for (const FakeInstance& instance : instances) {
        text += L"instance\t" + instance.path + L"\t" + instance.version + L"\t" +
                std::to_wstring(instance.state) + L"\t" + (instance.launchable ? L"1" : L"0") +
                L"\t" + instance.product + L"\t" + instance.prerelease + L"\r\n";
    }
    if (endless) text += L"endless\r\n";
    if (stallMs >= 0) text += L"stall\t" + std::to_wstring(stallMs) + L"\r\n";
    if (createFails) text += L"create-fails\r\n";
    return WriteFileUtf16(dir_.Sub(L"instances.txt"), text);
}

}  // namespace testutil
