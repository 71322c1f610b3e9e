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
    int prerelease = 0;
    const wchar_t* rowJa = nullptr;  // the row under Japanese, where it differs
};

// Each inner list is one catalogue.
inline std::vector<std::vector<EditorRowCase>> EditorRowCases() {
    return {
        // Two editions of one version of 2022 beside a unique 2019; the
        // Preview's edition already says in English that it is one.
        {{L"Microsoft Visual Studio 2022", L"17.14.36327.8", L"VS\\2022\\Community\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.14, Community)"},
         {L"Microsoft Visual Studio 2022", L"17.14.36400.1 Preview", L"VS\\2022\\Preview\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.14, Preview)", 1,
          L"Microsoft Visual Studio 2022 (17.14, Preview, プレビュー版)"},
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
        // A prerelease row says so, whatever else tells it apart.
        {{L"Microsoft Visual Studio 2022", L"17.15.36401.2", L"VS\\2022\\Preview\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.15, Preview)", 1,
          L"Microsoft Visual Studio 2022 (17.15, プレビュー版)"},
         {L"Microsoft Visual Studio 2022", L"17.14.36310.24", L"VS\\2022\\Professional\\Common7\\IDE",
          L"Microsoft Visual Studio 2022 (17.14)"},
         {L"Microsoft Visual Studio 2026", L"18.0.11312.210", L"VS\\18\\Insiders\\Common7\\IDE",
          L"Microsoft Visual Studio 2026 (18.0, Insiders, Preview)", 1,
          L"Microsoft Visual Studio 2026 (18.0, Insiders, プレビュー版)"},
         {L"Microsoft Visual Studio 2026", L"18.0.11123.170", L"VS\\18\\Community\\Common7\\IDE",
          L"Microsoft Visual Studio 2026 (18.0, Community)"},
         {L"Microsoft Visual Studio 2019", L"16.11.5", L"VS\\2019\\Enterprise\\Common7\\IDE",
          L"Microsoft Visual Studio 2019 (Preview)", 1, L"Microsoft Visual Studio 2019 (プレビュー版)"}},
    };
}
