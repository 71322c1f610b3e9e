// The message-map dispatcher: a window's static table of rows maps messages
// (kind 1) and WM_COMMAND control ids (kind 2) to handler functions. It also
// keeps the previous window procedure of controls subclassed under a name,
// as two window properties: the procedure to fall back on and the one that
// was installed, so that removal can tell whether it is still on top.
#include "KalBase32.h"

#include <wchar.h>

namespace {

// A table longer than this is taken to be missing its terminating row.
const UINT_PTR kMaxRows = 4096;

int IsEndRow(const MessageMapEntry& row) {
    return row.kind == 0 && row.message == 0 && row.controlId == 0 && row.handler == NULL &&
           row.reserved1 == 0 && row.reserved2 == 0;
}

// "KalMmp:<name>" for the previous procedure, "KalMmpOwn:<name>" for the
// installed one. The names are 8-bit ASCII; anything longer than the buffer
// is refused rather than cut, so two long names never share a property.
int PropName(const char* prefix, const char* name, wchar_t (&prop)[96]) {
    if (!name || !name[0]) return 0;
    size_t n = 0;
    for (const char* p = prefix; *p; ++p) prop[n++] = static_cast<wchar_t>(*p);
    for (const char* p = name; *p; ++p) {
        if (n + 1 >= _countof(prop)) return 0;
        prop[n++] = static_cast<wchar_t>(static_cast<unsigned char>(*p));
    }
    prop[n] = 0;
    return 1;
}

HANDLE ProcToHandle(WNDPROC proc) {
    return reinterpret_cast<HANDLE>(reinterpret_cast<LONG_PTR>(proc));
}

WNDPROC HandleToProc(HANDLE h) {
    return reinterpret_cast<WNDPROC>(reinterpret_cast<LONG_PTR>(h));
}

const MessageMapEntry* FindRow(const KalMmpWork* work, UINT message, WPARAM wParam) {
    if (!work || !work->table) return NULL;
    for (UINT_PTR i = 0; i < work->rows; ++i) {
        const MessageMapEntry& row = work->table[i];
        if (!row.handler) continue;
        if (row.kind == MMP_KIND_MESSAGE && row.message == message) return &row;
        if (row.kind == MMP_KIND_COMMAND && message == WM_COMMAND && row.controlId == LOWORD(wParam))
            return &row;
    }
    return NULL;
}

}  // namespace

int KalMmpInitTblW(const MessageMapEntry* table, KalMmpWork* work) {
    if (!work) return 0;
    work->table = table;
    work->rows = 0;
    work->reserved[0] = 0;
    work->reserved[1] = 0;
    if (!table) return 0;
    while (work->rows < kMaxRows && !IsEndRow(table[work->rows])) ++work->rows;
    return static_cast<int>(work->rows);
}

LRESULT KalMmpWndMsgHandle(KalMmpWork* work, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam, WNDPROC ownProc, const char* name) {
    const MessageMapEntry* row = FindRow(work, message, wParam);
    if (row) return row->handler(window, message, wParam, lParam);
    wchar_t prop[96];
    if (PropName("KalMmp:", name, prop)) {
        WNDPROC previous = HandleToProc(GetPropW(window, prop));
        // Calling ownProc again would recurse without end.
        if (previous && previous != ownProc)
            return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR KalMmpDlgMsgHandle(KalMmpWork* work, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
    const MessageMapEntry* row = FindRow(work, message, wParam);
    if (row) return row->handler(window, message, wParam, lParam);
    return FALSE;
}

int KalMmpSetSubclass(HWND control, const char* name, WNDPROC proc) {
    wchar_t prevProp[96];
    wchar_t ownProp[96];
    if (!proc || !IsWindow(control) || !PropName("KalMmp:", name, prevProp) ||
        !PropName("KalMmpOwn:", name, ownProp))
        return 0;
    // A second subclass under the same name would lose the first one's
    // previous procedure.
    if (GetPropW(control, prevProp)) return 0;
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
    if (!previous || previous == proc) return 0;
    // The properties come first: the new procedure may see a message as soon
    // as it is installed and must find its way back.
    if (!SetPropW(control, prevProp, ProcToHandle(previous))) return 0;
    if (!SetPropW(control, ownProp, ProcToHandle(proc))) {
        RemovePropW(control, prevProp);
        return 0;
    }
    SetLastError(0);
    LONG_PTR old = SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    if (old == 0 && GetLastError() != 0) {
        RemovePropW(control, prevProp);
        RemovePropW(control, ownProp);
        return 0;
    }
    return 1;
}

int KalMmpDelSubclass(HWND control, const char* name) {
    wchar_t prevProp[96];
    wchar_t ownProp[96];
    if (!IsWindow(control) || !PropName("KalMmp:", name, prevProp) ||
        !PropName("KalMmpOwn:", name, ownProp))
        return 0;
    HANDLE previous = GetPropW(control, prevProp);
    if (!previous) return 0;
    WNDPROC own = HandleToProc(GetPropW(control, ownProp));
    WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
    if (current != own) {
        // Someone subclassed the control after us and still calls our
        // procedure; taking the previous procedure away now would leave that
        // chain without its end. The subclass stays until it is on top again.
        return 0;
    }
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HandleToProc(previous)));
    RemovePropW(control, prevProp);
    RemovePropW(control, ownProp);
    return 1;
}
