// The text of one editor's row in the choice list, the settings list and
// both combo boxes. Since 2017 every edition of a year carries the same
// description ("Microsoft Visual Studio 2022" for Community, Professional,
// Enterprise and Preview alike), so a description shared by several entries
// is followed by what tells them apart: the version's first two numbers and,
// where those are the same too, the edition folder. A prerelease editor's
// row always says so: nothing else in it tells Preview from the release, and
// the start decision passes it over where a release fits.
#include "launcher.h"
#include "resource.h"

#include <wchar.h>

namespace {

// The version's first two numbers ("17.14" of "17.14.36327.8"), or the first
// alone when there is no second.
void ShortVersion(const wchar_t* version, wchar_t (&shortVersion)[32]) {
    size_t used = 0;
    int dots = 0;
    for (const wchar_t* p = version; *p && used + 1 < _countof(shortVersion); ++p) {
        if (*p == L'.' && ++dots == 2) break;
        if ((*p < L'0' || *p > L'9') && *p != L'.') break;
        shortVersion[used++] = *p;
    }
    if (used > 0 && shortVersion[used - 1] == L'.') --used;
    shortVersion[used] = L'\0';
}

// The folder that names the edition: "Community" of
// "...\2022\Community\Common7\IDE". An editor outside that layout is named by
// its own folder.
const wchar_t* EditionName(const wchar_t* folder, wchar_t (&edition)[260]) {
    static const wchar_t kIdeTail[] = L"\\Common7\\IDE";
    const size_t tail = _countof(kIdeTail) - 1;
    size_t length = wcslen(folder);
    if (length > tail && _wcsicmp(folder + length - tail, kIdeTail) == 0) length -= tail;
    size_t start = length;
    while (start > 0 && folder[start - 1] != L'\\') --start;
    const size_t units = length - start;
    if (units == 0 || units >= _countof(edition)) {
        wcscpy_s(edition, folder);
    } else {
        wmemcpy(edition, folder + start, units);
        edition[units] = L'\0';
    }
    return edition;
}

// The word that marks a prerelease row in the user's language, from the
// launcher's string table.
void PrereleaseMark(wchar_t (&mark)[64]) {
    const UINT id = KalGetLangId() == kLangJapanese ? IDS_PRERELEASE_JA : IDS_PRERELEASE_EN;
    if (LoadStringW(g_state.hInst, id, mark, _countof(mark)) <= 0) mark[0] = L'\0';
}

// Adds one part to the details of a row, after a comma when there are some.
void AddDetail(wchar_t (&details)[kEditorRowUnits], const wchar_t* part) {
    if (part[0] == L'\0') return;
    const size_t used = wcslen(details);
    KalSnPrintFW(details + used, _countof(details) - used, used ? L", %s" : L"%s", part);
}

}  // namespace

int EditorRowText(int index, wchar_t (&row)[kEditorRowUnits]) {
    row[0] = L'\0';
    if (index < 0 || index >= g_catalogue.count || index >= kCatalogueSlots) return 0;
    const EditorEntry& entry = g_catalogue.entries[index];
    wchar_t version[32] = L"";
    wchar_t edition[260] = L"";
    ShortVersion(entry.version, version);
    EditionName(entry.folder, edition);

    int sharesName = 0;
    int sharesVersion = 0;
    int sharesEdition = 0;
    for (int i = 0; i < g_catalogue.count && i < kCatalogueSlots; ++i) {
        const EditorEntry& other = g_catalogue.entries[i];
        if (i == index || _wcsicmp(other.description, entry.description) != 0) continue;
        sharesName = 1;
        wchar_t otherVersion[32] = L"";
        ShortVersion(other.version, otherVersion);
        if (wcscmp(otherVersion, version) != 0) continue;
        sharesVersion = 1;
        wchar_t otherEdition[260] = L"";
        if (_wcsicmp(EditionName(other.folder, otherEdition), edition) == 0) sharesEdition = 1;
    }

    // What tells the row apart, in parentheses: the version where the name
    // is shared, the edition where the version is too (two copies of one
    // edition differ only in where they lie), and the prerelease mark,
    // unless the edition already says it ("Preview").
    wchar_t details[kEditorRowUnits] = L"";
    const wchar_t* where = sharesEdition ? entry.folder : edition;
    if (sharesName) AddDetail(details, version);
    if (sharesVersion) AddDetail(details, where);
    if (entry.fPrerelease) {
        wchar_t mark[64] = L"";
        PrereleaseMark(mark);
        if (!sharesVersion || _wcsicmp(where, mark) != 0) AddDetail(details, mark);
    }
    const int written = details[0] ? KalSnPrintFW(row, L"%s (%s)", entry.description, details)
                                   : KalSnPrintFW(row, L"%s", entry.description);
    if (written < 0) wcscpy_s(row, entry.description);
    return 1;
}
