// Catalogues whose entries share descriptions, and the row each entry must
// get in every list and combo box that shows editors: shared by the choice
// list and settings dialog tests.
#pragma once

#include <string>
#include <vector>

struct EditorRowCase {
    const wchar_t* description;
    const wchar_t* version;
    const wchar_t* folder;  // below the test's folder
    const wchar_t* row;     // what the row of this entry shows
};

// Each inner list is one catalogue.
inline std::vector<std::vector<EditorRowCase>> EditorRowCases() {
    return {
        // Two editions of one version of 2022 beside a unique 2019.
        {{L"Microsoft Visual Studio 2022", L"17.14.36327.8", L"VS\\2022\\Community\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.14, Community)"},
         {L"Microsoft Visual Studio 2022", L"17.14.36400.1 Preview", L"VS\\2022\\Preview\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.14, Preview)"},
         {L"Microsoft Visual Studio 2019", L"16.11.5", L"VS\\2019\\Professional\\Common7\\IDE",
          L"Microsoft Visual Studio 2019"}},
        // Versions that differ tell the rows apart alone; a description that
        // differs only in case is the same to the eye.
        {{L"Microsoft Visual Studio 2022", L"17.12.4", L"A\\Enterprise\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.12)"},
         {L"microsoft visual studio 2022", L"17.14.1", L"B\\Enterprise\\Common7\\IDE",
          L"microsoft visual studio 2022 (17.14)"},
         {L"Microsoft Visual Studio 2026", L"18.0.1", L"C\\18\\Community\\Common7\\IDE",
          L"Microsoft Visual Studio 2026"}},
        // The same edition of the same version twice, an editor outside the
        // usual layout, and a version with one number only.
        {{L"VS", L"17.14.1", L"D\\2022\\Community\\Common7\\IDE", nullptr},
         {L"VS", L"17.14.9", L"E\\2022\\Community\\Common7\\IDE", nullptr},
         {L"VS", L"17.14.2", L"Portable VS", L"VS (17.14, Portable VS)"},
         {L"VS", L"16", L"F\\Common7\\IDE", L"VS (16)"}},
    };
}
