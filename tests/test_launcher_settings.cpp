// The launcher's six settings against the real store.
#include <gtest/gtest.h>

#include <string.h>

#include "settings.h"
#include "store_keys.h"
#include "testutil.h"

using namespace testutil;

namespace {

class LauncherSettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ResetStore();
        KalSetRegMidPathW(kAppMidPath);
        memset(&g_settings, 0xAB, sizeof(g_settings));
    }
    void TearDown() override { ResetStore(); }
};

TEST_F(LauncherSettingsStore, AbsentSectionReadsAsZeros) {
    LoadSettings();
    LauncherSettings zero = {};
    EXPECT_EQ(0, memcmp(&zero, &g_settings, sizeof(zero)));
}

TEST_F(LauncherSettingsStore, EachFieldRoundTripsUnderItsOwnKey) {
    LauncherSettings saved = {1, 3, 1, 2, 0, 5};
    SaveSettings(&saved);
    const struct {
        const wchar_t* key;
        DWORD value;
    } expected[] = {{kKeyDelVsFolder, 1}, {kKeyLstSel, 3}, {kKeyVsProc, 1},
                    {kKeyVsFix, 2},       {kKeyNoVsProc, 0}, {kKeyNoVsFix, 5}};
    for (const auto& e : expected) {
        DWORD value = 0xFFFF;
        EXPECT_EQ(1, GetStoreDword(kSectProfiles, e.key, &value)) << e.key;
        EXPECT_EQ(e.value, value) << e.key;
    }
    LoadSettings();
    EXPECT_EQ(0, memcmp(&saved, &g_settings, sizeof(saved)));
}

TEST_F(LauncherSettingsStore, ValuesThatAreNoNumbersReadAsZero) {
    PutStoreString(kSectProfiles, kKeyVsProc, L"one");
    PutStoreString(kSectProfiles, kKeyVsFix, L"7");
    PutStoreDword(kSectProfiles, kKeyNoVsFix, 4);
    LoadSettings();
    EXPECT_EQ(0u, g_settings.VsProc);
    EXPECT_EQ(7u, g_settings.ixVsFix);
    EXPECT_EQ(4u, g_settings.ixNoVsFix);
    EXPECT_EQ(0u, g_settings.fDelVsFolder);
}

}  // namespace
