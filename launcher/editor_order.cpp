// Which of several catalogue editors that fit a solution opens it. Visual
// Studio writes the same version folder and the same version line for every
// editor of one major version, so a solution often fits a release beside
// its Preview, or two editions of one year. The catalogue's own order says
// nothing about which one the user means: it follows the descriptions,
// which are equal, and the order in which the editors were found.
#include "launcher.h"

#include <wchar.h>

namespace {

// The next number of a dotted version at *p: its significant digits (from
// the first that is not a leading zero) and their count. A version's numbers
// end at the first character that is neither a digit nor a dot between two
// numbers ("17.14.36400.1 Preview" has four). Returns 0 when there is no
// further number, and from then on for every later call. The first number
// stands at the beginning, every further one after a dot.
int NextVersionNumber(const wchar_t** p, int first, const wchar_t** digits, size_t* count) {
    const wchar_t* at = *p;
    if (!first && *at == L'.') ++at;
    if ((!first && at == *p) || *at < L'0' || *at > L'9') {
        *p += wcslen(*p);
        return 0;
    }
    while (*at == L'0' && at[1] >= L'0' && at[1] <= L'9') ++at;
    *digits = at;
    while (*at >= L'0' && *at <= L'9') ++at;
    *count = static_cast<size_t>(at - *digits);
    *p = at;
    return 1;
}

// 1 when candidate is the better of two editors that both fit: a release
// before a prerelease, then the higher version. Equal ones keep the one
// found first.
int IsBetterEditor(const EditorEntry& candidate, const EditorEntry& best) {
    const int candidatePrerelease = candidate.fPrerelease != 0;
    const int bestPrerelease = best.fPrerelease != 0;
    if (candidatePrerelease != bestPrerelease) return !candidatePrerelease;
    return CompareVersions(candidate.version, best.version) > 0;
}

}  // namespace

// The numbers are compared by their digits, never converted, so that no
// version text, however long, can overflow into a wrong order.
int CompareVersions(const wchar_t* first, const wchar_t* second) {
    const wchar_t* a = first;
    const wchar_t* b = second;
    for (int leading = 1;; leading = 0) {
        const wchar_t* aDigits = L"0";
        const wchar_t* bDigits = L"0";
        size_t aCount = 1;
        size_t bCount = 1;
        const int aMore = NextVersionNumber(&a, leading, &aDigits, &aCount);
        const int bMore = NextVersionNumber(&b, leading, &bDigits, &bCount);
        if (!aMore && !bMore) return 0;
        if (aCount != bCount) return aCount < bCount ? -1 : 1;
        const int order = wmemcmp(aDigits, bDigits, aCount);
        if (order != 0) return order < 0 ? -1 : 1;
    }
}

int BestMatchingEditor(EditorMatch matches, const void* context) {
    int best = -1;
    for (int i = 0; i < g_catalogue.count && i < kCatalogueSlots; ++i) {
        const EditorEntry& entry = g_catalogue.entries[i];
        if (!matches(entry, context)) continue;
        if (best < 0 || IsBetterEditor(entry, g_catalogue.entries[best])) best = i;
    }
    return best;
}
