// The launcher's six settings in section PROFILES of the settings store.
#include "settings.h"

#include "store_keys.h"

LauncherSettings g_settings;

void LoadSettings() {
    g_settings.fDelVsFolder = KalGetProfileUIntW(kSectProfiles, kKeyDelVsFolder, 0);
    g_settings.ixLstSel = KalGetProfileUIntW(kSectProfiles, kKeyLstSel, 0);
    g_settings.VsProc = KalGetProfileUIntW(kSectProfiles, kKeyVsProc, 0);
    g_settings.ixVsFix = KalGetProfileUIntW(kSectProfiles, kKeyVsFix, 0);
    g_settings.NoVsProc = KalGetProfileUIntW(kSectProfiles, kKeyNoVsProc, 0);
    g_settings.ixNoVsFix = KalGetProfileUIntW(kSectProfiles, kKeyNoVsFix, 0);
}

void SaveSettings(const LauncherSettings* settings) {
    KalPutProfileUIntW(kSectProfiles, kKeyDelVsFolder, settings->fDelVsFolder);
    KalPutProfileUIntW(kSectProfiles, kKeyLstSel, settings->ixLstSel);
    KalPutProfileUIntW(kSectProfiles, kKeyVsProc, settings->VsProc);
    KalPutProfileUIntW(kSectProfiles, kKeyVsFix, settings->ixVsFix);
    KalPutProfileUIntW(kSectProfiles, kKeyNoVsProc, settings->NoVsProc);
    KalPutProfileUIntW(kSectProfiles, kKeyNoVsFix, settings->ixNoVsFix);
}

void SaveFirstSettings() {
    static const wchar_t* const kKeys[] = {kKeyDelVsFolder, kKeyLstSel,   kKeyVsProc,
                                           kKeyVsFix,       kKeyNoVsProc, kKeyNoVsFix};
    for (const wchar_t* key : kKeys) {
        // A stored number reads the same whatever the default; an absent key,
        // or one holding no number, reads as the default, which differs.
        if (KalGetProfileUIntW(kSectProfiles, key, 0) != KalGetProfileUIntW(kSectProfiles, key, 1))
            KalPutProfileUIntW(kSectProfiles, key, 0);
    }
}
