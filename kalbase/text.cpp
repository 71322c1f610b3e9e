// Bounded text formatting, the tokeniser and the user-interface language.
// The formatter is the library's own so that %s means a wide string with
// every compiler and run time.
#include "KalBase32.h"

#include <stdarg.h>
#include <wchar.h>

namespace {

// Writes into a fixed buffer and remembers whether anything was cut.
struct Out {
    wchar_t* buf;
    size_t room;  // units available for text, the terminator excluded
    size_t used;
    int cut;
};

void Put(Out* out, wchar_t c) {
    if (out->used < out->room)
        out->buf[out->used++] = c;
    else
        out->cut = 1;
}

void PutText(Out* out, const wchar_t* text, size_t len) {
    for (size_t i = 0; i < len; ++i) Put(out, text[i]);
}

void PutPadded(Out* out, const wchar_t* text, size_t len, unsigned width, int left, wchar_t pad) {
    size_t fill = width > len ? width - len : 0;
    if (!left) {
        for (size_t i = 0; i < fill; ++i) Put(out, pad);
    }
    PutText(out, text, len);
    if (left) {
        for (size_t i = 0; i < fill; ++i) Put(out, L' ');
    }
}

// Digits of value in the given base, most significant first; returns the
// count. 32 units hold any 32-bit number in any base from 2 up.
size_t Digits(unsigned value, unsigned base, int upper, wchar_t (&digits)[32]) {
    const wchar_t* set = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    wchar_t reversed[32];
    size_t n = 0;
    do {
        reversed[n++] = set[value % base];
        value /= base;
    } while (value && n < _countof(reversed));
    for (size_t i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    return n;
}

void PutNumber(Out* out, unsigned magnitude, int negative, unsigned base, int upper,
               unsigned width, int left, int zero) {
    wchar_t digits[32];
    size_t n = Digits(magnitude, base, upper, digits);
    if (zero && !left) {
        // The sign goes before the zeros: %05d of -42 is -0042.
        if (negative) Put(out, L'-');
        unsigned rest = width > (negative ? 1u : 0u) ? width - (negative ? 1u : 0u) : 0u;
        PutPadded(out, digits, n, rest, 0, L'0');
        return;
    }
    wchar_t text[33];
    size_t len = 0;
    if (negative) text[len++] = L'-';
    for (size_t i = 0; i < n; ++i) text[len++] = digits[i];
    PutPadded(out, text, len, width, left, L' ');
}

wchar_t* g_tokNext;

}  // namespace

int KalSnPrintFW(wchar_t* buf, size_t units, const wchar_t* format, ...) {
    if (!buf || units == 0) return -1;
    Out out = {buf, units - 1, 0, 0};
    if (!format) format = L"";
    va_list args;
    va_start(args, format);
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            Put(&out, *p++);
            continue;
        }
        const wchar_t* start = p++;
        int left = 0;
        int zero = 0;
        for (;; ++p) {
            if (*p == L'-')
                left = 1;
            else if (*p == L'0')
                zero = 1;
            else
                break;
        }
        unsigned width = 0;
        while (*p >= L'0' && *p <= L'9') {
            // Widths beyond any buffer only pad into the cut; keep the number bounded.
            if (width < 100000) width = width * 10 + static_cast<unsigned>(*p - L'0');
            ++p;
        }
        // "l" as in %ls or %lu changes nothing here: strings are wide and
        // long is 32 bits, as int is.
        if (*p == L'l' && (p[1] == L's' || p[1] == L'd' || p[1] == L'u' || p[1] == L'x' ||
                           p[1] == L'X' || p[1] == L'c'))
            ++p;
        switch (*p) {
        case L's': {
            const wchar_t* s = va_arg(args, const wchar_t*);
            if (!s) s = L"(null)";
            PutPadded(&out, s, wcslen(s), width, left, L' ');
            break;
        }
        case L'd': {
            int v = va_arg(args, int);
            unsigned magnitude = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
            PutNumber(&out, magnitude, v < 0, 10, 0, width, left, zero);
            break;
        }
        case L'u':
            PutNumber(&out, va_arg(args, unsigned), 0, 10, 0, width, left, zero);
            break;
        case L'x':
        case L'X':
            PutNumber(&out, va_arg(args, unsigned), 0, 16, *p == L'X', width, left, zero);
            break;
        case L'c': {
            wchar_t c = static_cast<wchar_t>(va_arg(args, int));
            PutPadded(&out, &c, 1, width, left, L' ');
            break;
        }
        case L'%':
            Put(&out, L'%');
            break;
        case 0:
            // A lone % at the end stands for itself.
            PutText(&out, start, static_cast<size_t>(p - start));
            continue;
        default:
            // The size of the argument an unknown conversion takes cannot be
            // told, so every later conversion would read the wrong one.
            va_end(args);
            buf[0] = 0;
            return -1;
        }
        ++p;
    }
    va_end(args);
    buf[out.used] = 0;
    return out.cut ? -1 : static_cast<int>(out.used);
}

wchar_t* KalStrTokW(wchar_t* text, const wchar_t* delimiters) {
    if (!delimiters) delimiters = L"";
    wchar_t* s = text ? text : g_tokNext;
    if (!s) return NULL;
    s += wcsspn(s, delimiters);
    if (!*s) {
        g_tokNext = NULL;
        return NULL;
    }
    wchar_t* end = wcspbrk(s, delimiters);
    if (end) {
        *end = 0;
        g_tokNext = end + 1;
    } else {
        g_tokNext = NULL;
    }
    return s;
}

LANGID KalGetLangId() {
    return GetUserDefaultUILanguage();
}
