// The launcher's six settings, kept in section PROFILES of the store.
#pragma once

#include "KalBase32.h"

struct LauncherSettings {
    UINT fDelVsFolder;  // empty the version folders before deciding
    UINT ixLstSel;      // row of the choice list chosen last
    UINT VsProc;        // rule with a .vs folder: 0 version folders, 1 fixed editor
    UINT ixVsFix;       // the fixed editor of VsProc 1
    UINT NoVsProc;      // rule without a .vs folder: 0 ask, 1 fixed editor,
                        // 2 the solution file's version line
    UINT ixNoVsFix;     // the fixed editor of NoVsProc 1
};

// The launcher's settings record.
extern LauncherSettings g_settings;

// Reads the six keys into g_settings; absent keys read as 0.
void LoadSettings();

// Writes the six fields in their fixed order.
void SaveSettings(const LauncherSettings* settings);

// Writes 0 for each of the six settings the store does not hold yet (a first
// set-up); a setting already stored keeps its value.
void SaveFirstSettings();
