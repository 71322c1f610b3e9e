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
