// KalBase32: the support library that every program of the suite but the
// launch shim links against. It wraps the settings store, path and file
// helpers, the version-resource reader, bounded text formatting, dialog and
// tooltip helpers and the message-map dispatcher behind one small interface.
//
// Strings are UTF-16; every size is counted in UTF-16 units, terminator
// included. Functions that take a buffer and its size also come as templates
// that take the array itself, so the size travels with the buffer type.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <stddef.h>
#include <stdlib.h>  // _countof

// ---------------------------------------------------------------------------
// Settings store
//
// Values live in the registry under HKCU\Software\<mid path>\<section>.
// Unsigned values are REG_DWORD; strings are REG_SZ.
// ---------------------------------------------------------------------------

// Selects the application path (for example "PikroSuite"). Returns 1, or 0
// when the name is empty or too long.
int KalSetRegMidPathW(const wchar_t* name);

// The stored unsigned value, or dflt when the key is absent or holds anything
// but an unsigned number (a REG_DWORD, or a REG_SZ of decimal digits only
// that fits 32 bits).
UINT KalGetProfileUIntW(const wchar_t* section, const wchar_t* key, UINT dflt);

// Copies the stored string (or dflt when absent or not a string) into buf.
// A text that does not fit is cut at the buffer and stays terminated.
// Returns the number of units copied, without the terminator.
int KalGetProfileStrW(const wchar_t* section, const wchar_t* key, const wchar_t* dflt,
                      wchar_t* buf, size_t size);

// The length in units (terminator excluded) of a stored string, so that a
// caller can tell a text that does not fit its buffer from one that does;
// -1 when the key is absent or not a string.
int KalGetProfileStrLenW(const wchar_t* section, const wchar_t* key);

// 1 when the section is in the store (even without any value), 0 when the
// store reports it absent, -1 when that cannot be told (no mid path
// selected, a key that cannot be opened). Opens one key and nothing else.
int KalProfileSectExistsW(const wchar_t* section);

// The names of the values of a section, one per call: index 0, 1, ... until
// the call returns 0. A name that does not fit size units is passed over
// (the call still returns 1 with an empty name). The order is the store's.
int KalEnumProfileKeyW(const wchar_t* section, DWORD index, wchar_t* name, size_t size);

// 1 with *value set when the key holds a REG_DWORD (nothing else: not a
// string of digits, not a value of another size); 0 otherwise, *value 0.
int KalGetProfileDwordW(const wchar_t* section, const wchar_t* key, DWORD* value);

// Create or replace a value. Return 1 on success, 0 on failure.
int KalPutProfileUIntW(const wchar_t* section, const wchar_t* key, UINT value);
int KalPutProfileStrW(const wchar_t* section, const wchar_t* key, const wchar_t* value);

// Remove one value, or a whole section with everything in it. Return 1 when
// the value or section is gone afterwards (also when it never existed).
int KalDelProfileKeyW(const wchar_t* section, const wchar_t* key);
int KalDelProfileSectW(const wchar_t* section);

// ---------------------------------------------------------------------------
// Paths and files
// ---------------------------------------------------------------------------

// The running program's folder, without a trailing backslash. Returns 1, or
// 0 (and an empty buffer) when it does not fit.
int KalGetAppPathW(wchar_t* buf, size_t size);

// Appends part as a further path element with exactly one backslash between
// (none is added when buf is empty). Returns 1; returns 0 and leaves buf
// unchanged when the result would not fit: a path is never cut.
int KalPathCatW(wchar_t* buf, const wchar_t* part, size_t size);

// Non-zero when the path exists / is a folder / is a file.
int KalPathExistsW(const wchar_t* path);
int KalPathIsDirectoryW(const wchar_t* path);
int KalPathIsFileW(const wchar_t* path);

// Links. Every walk and check asks KalIsLink whether an entry is a link:
// only a reparse point whose tag is a name surrogate (a symbolic link, a
// junction, a mount point) is one, and so is a reparse point whose tag was
// withheld (a reserved tag, 0 or 1). Every other reparse point, such as a
// file or folder of a OneDrive folder (tags 0x9000xxxA), a deduplicated
// file, a Projected File System or container (WCI) entry or an app
// execution alias, is an ordinary file or folder: walks go into it, empty,
// move and delete it like any other, with the same checks. reparseTag is
// what the listing gave (WIN32_FIND_DATAW's dwReserved0, the entry's
// reparseTag below) or the handle (FILE_ATTRIBUTE_TAG_INFO); it is looked
// at only when the attributes carry FILE_ATTRIBUTE_REPARSE_POINT.
int KalIsLink(DWORD attributes, DWORD reparseTag);
// The attributes of the entry at path itself (a link's own, never what it
// points to) and, for a reparse point, its tag as the listing of its folder
// gives it (else 0). Returns 1, or 0 with INVALID_FILE_ATTRIBUTES when the
// path names nothing that can be read.
int KalGetEntryInfoW(const wchar_t* path, DWORD* attributes, DWORD* reparseTag);

// Folder walks. Before a walk goes below a folder (into one of its
// subfolders) it enters the folder through a guard that holds the chain of
// folders the walk is below, each known by its volume serial number and
// file index rather than by its path. A folder already in the chain (reached
// again through a link that shows as a plain folder, as on a network share
// that follows links on the server, or under a bind mount) is refused, and
// so is any folder once the chain holds KAL_WALK_MAX_DEPTH, so a walk can
// neither loop nor run away: it reaches at most KAL_WALK_MAX_DEPTH levels
// below where it began. A zeroed guard is empty; its contents belong to the
// library.
enum { KAL_WALK_MAX_DEPTH = 64 };
struct KalWalkFolderId {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};
struct KalWalkGuard {
    int depth;
    KalWalkFolderId chain[KAL_WALK_MAX_DEPTH];
};
// Adds folder to the chain. Returns 1, or 0 (and the chain unchanged) when
// the folder is already in it, the chain is full, or it is no folder that
// can be opened. A folder that is itself a link is known as the link, not as
// what it points to.
int KalWalkEnterW(KalWalkGuard* guard, const wchar_t* folder);
// Takes the folder entered last off the chain. Returns 1, or 0 when the
// chain was empty.
int KalWalkLeave(KalWalkGuard* guard);

// Deletes everything inside folder (read-only files too) but its links: a
// link (see KalIsLink: a junction or a symbolic link, never a OneDrive
// file or folder) is neither followed nor removed, wherever it
// lies in the tree, so a folder that holds one stays. The walk goes through
// handles (see Walks through handles below), so a subfolder swapped for a
// link while it runs is refused, not followed, and a file that is a hard
// link of a read-only file elsewhere is deleted without that file losing
// its attribute. Files directly inside
// folder whose names equal one of the first keepCount keepNames (without
// regard to the case of A-Z; a NULL name matches nothing) are kept untouched:
// never moved, opened for writing or changed. Only plain files count, and
// only at the top: a folder of such a name, or a file of such a name
// further down, goes like anything else. The folder itself stays. A folder
// that is itself a link is not emptied (returns 0). The walk goes through a
// KalWalkGuard: the subfolders of a folder the guard refuses stay, so
// nothing more than KAL_WALK_MAX_DEPTH levels below folder is touched.
// keepNames may be NULL when keepCount is 0.
// Returns 1 when the folder holds nothing but the kept files and links
// afterwards, 0 otherwise, and 0 without touching anything when keepCount
// is negative or keepNames is NULL with names to keep.
int KalCleanFolderExW(const wchar_t* folder, const wchar_t* const* keepNames, int keepCount);
// The same with no names kept. The two reserved arguments are 0.
int KalCleanFolderW(const wchar_t* folder, int reserved1, int reserved2);

// Walks through handles. Each entry is opened relative to the handle of the
// folder that listed it, as itself (a link is never followed), and kept only
// when the object opened is the one the listing named: the same file index,
// and for a folder a plain folder that is no link. Entries are listed, moved
// and deleted through handles only. Folders opened this way are shared for
// reading and writing, not for deleting, so nobody can move them away while
// they are open.
//
// One entry of a folder listing. id is the file index the listing gave (0
// where the file system numbers no file); reparseTag the reparse tag it gave
// for a reparse point, else 0.
struct KalFolderEntry {
    wchar_t name[256];
    DWORD attributes;
    LONGLONG id;
    DWORD reparseTag;
};
// A listing of a folder through its handle; its contents belong to the
// library. Names of 256 units or more are passed over and set skipped.
struct KalFolderListing {
    HANDLE folder;
    BYTE* buffer;
    DWORD offset;
    int started, next, ended, failed, skipped;
};
// KalListOpen prepares a listing of the folder open as folder (opened with
// FILE_LIST_DIRECTORY), KalListNext gives its entries one by one ("." and
// ".." passed over) and returns 0 at the end; KalListClose frees it.
int KalListOpen(KalFolderListing* listing, HANDLE folder);
int KalListNext(KalFolderListing* listing, KalFolderEntry* entry);
void KalListClose(KalFolderListing* listing);
// Opens the folder at path for listing and as the parent of relative opens,
// only when it is a real folder and no link. INVALID_HANDLE_VALUE otherwise.
HANDLE KalOpenFolderW(const wchar_t* path);
// Opens the listed subfolder entry of parent, checked as above, with the
// rights to list it and change its attributes, and to move and delete it
// when forDeleting (which needs a folder nobody holds without sharing
// deletion). INVALID_HANDLE_VALUE when it is gone, refused or cannot be
// opened.
HANDLE KalOpenListedFolder(HANDLE parent, const KalFolderEntry* entry, int forDeleting);
// Creates the folder name inside parent and opens it as KalOpenListedFolder
// does; INVALID_HANDLE_VALUE when it exists already or cannot be made.
HANDLE KalCreateFolderIn(HANDLE parent, const wchar_t* name);
// Moves everything inside folder but its links and the kept files at its
// top (as for KalCleanFolderExW; the name is checked again on the opened
// file) into the folder open as moveTo, each entry under a decimal number
// taken from *counter (which counts up). A subfolder that cannot move as a
// whole is walked into and its entries moved one by one. Entries that
// cannot be moved (open elsewhere without sharing, denied) stay. Both
// folders lie on one volume. Returns 1 when nothing but kept files and links
// is left in folder.
int KalMoveAside(HANDLE folder, const wchar_t* const* keepNames, int keepCount, HANDLE moveTo,
                 unsigned* counter);
// Deletes everything inside the folder open as folder (opened by
// KalOpenListedFolder or KalCreateFolderIn), then the folder itself, which
// goes when its handle is closed. A link inside is deleted as a link where
// the system opens it as itself, and otherwise left (with the folders that
// lead to it); what it points to is never touched. Returns 1 when it was
// emptied and marked for deletion.
int KalDeleteFolderTree(HANDLE folder);

// Text files. Mode 9 opens for reading as text: a UTF-16LE or UTF-8 byte
// order mark is honoured, anything else is read in the OEM code page (the
// code page the command interpreter writes redirected output in).
struct KalFile;
enum { KAL_FOPEN_READ_TEXT = 9 };
KalFile* KalFOpenW(const wchar_t* path, int mode);
// Reads one line into buf as UTF-16, terminated, the line feed included when
// it fits, carriage returns dropped. Returns buf, or NULL at end of file.
wchar_t* KalFGetSW(KalFile* file, wchar_t* buf, int units);
int KalFClose(KalFile* file);

// The item ("FileDescription", "FileVersion", ...) of an executable's
// version resource (number 1, else the first there is), from the table of
// the first translation the resource lists that has the item, else of
// 040904B0, 041104B0, 040904E4 or 000004B0. The resource is read from the
// file's resources without running any of its code, and nothing outside it
// is read: a node whose length runs past the node that holds it, or past the
// resource, is not read, nor anything after it; a value that claims more
// than its node holds is read as far as the node goes. A text that does not
// fit is cut. The buffer always ends terminated; it is empty when the item
// cannot be read. Returns the length of the text.
int KalGetVerInfoW(const wchar_t* exePath, const wchar_t* item, wchar_t* buf, size_t size);

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

// Bounded formatting. Understands %s (a wide string; NULL prints as
// "(null)"), %d, %u and %x (%X) with an optional 0 or - flag and width (as in
// %02d), %c and %% (an "l" as in %ls or %lu is allowed and changes nothing);
// a lone % at the very end stands for itself. Any other conversion (%f,
// %5.2f, %*d, %p, %lf, %lld, ...) makes the call fail: the arguments it
// would take are unknown, so nothing after it could be trusted, and the
// buffer is left empty. Output that does not fit is cut and stays
// terminated. Returns the number of units written without the terminator,
// or -1 when it was cut or failed (also when units is 0).
int KalSnPrintFW(wchar_t* buf, size_t units, const wchar_t* format, ...);

// Behaves like the C library's wide wcstok with its state kept in the
// library: the first call takes the text, later calls take NULL.
wchar_t* KalStrTokW(wchar_t* text, const wchar_t* delimiters);

// ---------------------------------------------------------------------------
// User interface
// ---------------------------------------------------------------------------

// The user-interface language id; 1041 (0x411) means Japanese texts.
LANGID KalGetLangId();

int KalSetDlgItemStrW(HWND dialog, int id, const wchar_t* text);
// Check box: 0 or 1.
int KalSetDlgItemChk(HWND dialog, int id, UINT checked);
UINT KalGetDlgItemChk(HWND dialog, int id);
// On a group box made a radio group by KalSbcRadioBtns: the zero-based
// position of the selected radio button. Setting a position that has no
// button clears the selection; reading a group without a selection gives 0.
// On any other control: its text as an unsigned number.
int KalSetDlgItemUInt(HWND dialog, int id, UINT value);
UINT KalGetDlgItemUInt(HWND dialog, int id);
// A combo box's selected row. Reading a combo box with no selection gives 0.
int KalSetDlgItemCboIx(HWND dialog, int id, UINT index);
UINT KalGetDlgItemCboIx(HWND dialog, int id);
// Makes a group box the owner of the automatic radio buttons that follow it
// in z-order, up to the next control with WS_GROUP, and lie inside its
// rectangle. Returns the number of buttons in the group.
int KalSbcRadioBtns(HWND groupBox);

// Fonts owned by the library (never deleted by the caller). 11 is the bold
// user-interface font used for notes; other numbers give the plain one.
HFONT KalGetStockFont(int which);

// Tooltips. KalTipTextAddW attaches a tooltip to a control;
// KalTipTextSetCallBackW makes its text come from a callback, which writes
// the text into the buffer it is given and returns it.
typedef wchar_t* (*KalTipTextCallBack)(UINT_PTR value, wchar_t* buf, int capacity, HWND owner);
int KalTipTextAddW(HWND control, const wchar_t* text);
int KalTipTextSetCallBackW(HWND control, HWND owner, UINT_PTR value, KalTipTextCallBack callBack);
// The text the tooltip of control would show now (what the callback gives,
// or the fixed text). Returns its length, 0 when the control has no tooltip.
int KalTipTextGetW(HWND control, wchar_t* buf, size_t size);
// A tip centred on window that closes itself after ms milliseconds. A
// leading ECMA-48 colour sequence such as "\x1b[31m" sets the text colour
// and is never shown. Returns 1 when the tip is up.
int KalTipTextShowCenterW(HWND window, const wchar_t* text, UINT ms, UINT flags);
// The window class of those tips, so that callers and tests can find them,
// and the GetWindowLongPtrW slot of such a tip that holds its text colour
// (a COLORREF). The window text is the text without the colour sequence.
#define KAL_TIP_CLASS L"KalCenterTip"
enum { KAL_TIP_SLOT_COLOUR = 0 };

// The primary monitor's rectangle. Returns 1 on success.
int KalGetPrimaryMonitorInfo(int reserved, RECT* rect);
LONG_PTR KalGetWindowLongPtr(HWND window, int index);

// Look and feel: KalDgcSetup once at start-up (it also initialises the
// common controls), KalDgcSubclassEx on each window and dialog after its
// creation with the background colour to paint it in.
int KalDgcSetup();
int KalDgcSubclassEx(HWND window, COLORREF background);

// ---------------------------------------------------------------------------
// Message maps
// ---------------------------------------------------------------------------

typedef int (*MessageMapHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

enum { MMP_KIND_MESSAGE = 1, MMP_KIND_COMMAND = 2 };

// One row of a window's message table. Six pointer-sized fields (six 32-bit
// words in the 32-bit build); a row of zeros ends the table.
struct MessageMapEntry {
    UINT_PTR kind;       // MMP_KIND_MESSAGE or MMP_KIND_COMMAND
    UINT_PTR message;    // the message number (WM_COMMAND for kind 2)
    UINT_PTR controlId;  // kind 2: the control id in LOWORD(wParam); else 0
    MessageMapHandler handler;
    UINT_PTR reserved1;
    UINT_PTR reserved2;
};

// The dispatcher's work record; its contents belong to the library.
struct KalMmpWork {
    const MessageMapEntry* table;
    UINT_PTR rows;
    UINT_PTR reserved[2];
};

// Prepares a table into the work record. Returns the number of rows.
int KalMmpInitTblW(const MessageMapEntry* table, KalMmpWork* work);
// Window procedures: the matching row's handler result, else the previous
// procedure of a control subclassed under name (KalMmpSetSubclass), else
// DefWindowProcW. ownProc is the calling procedure, never called again.
LRESULT KalMmpWndMsgHandle(KalMmpWork* work, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam, WNDPROC ownProc, const char* name);
// Dialog procedures: the matching row's handler result, else FALSE.
INT_PTR KalMmpDlgMsgHandle(KalMmpWork* work, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);
// Installs proc as the window procedure of control and remembers the
// previous one under name. Returns 1 on success.
int KalMmpSetSubclass(HWND control, const char* name, WNDPROC proc);
// Gives control its previous procedure back and forgets it. Returns 1 when a
// subclass under that name was removed.
int KalMmpDelSubclass(HWND control, const char* name);

// ---------------------------------------------------------------------------
// Array forms: the buffer's size comes from its type.
// ---------------------------------------------------------------------------

template <size_t N>
inline int KalGetProfileStrW(const wchar_t* section, const wchar_t* key, const wchar_t* dflt,
                             wchar_t (&buf)[N]) {
    return KalGetProfileStrW(section, key, dflt, buf, N);
}
template <size_t N>
inline int KalEnumProfileKeyW(const wchar_t* section, DWORD index, wchar_t (&name)[N]) {
    return KalEnumProfileKeyW(section, index, name, N);
}
template <size_t N>
inline int KalGetAppPathW(wchar_t (&buf)[N]) {
    return KalGetAppPathW(buf, N);
}
template <size_t N>
inline int KalPathCatW(wchar_t (&buf)[N], const wchar_t* part) {
    return KalPathCatW(buf, part, N);
}
template <size_t N>
inline int KalCleanFolderExW(const wchar_t* folder, const wchar_t* const (&keepNames)[N]) {
    return KalCleanFolderExW(folder, keepNames, static_cast<int>(N));
}
template <size_t N>
inline wchar_t* KalFGetSW(KalFile* file, wchar_t (&buf)[N]) {
    return KalFGetSW(file, buf, static_cast<int>(N));
}
template <size_t N>
inline int KalGetVerInfoW(const wchar_t* exePath, const wchar_t* item, wchar_t (&buf)[N]) {
    return KalGetVerInfoW(exePath, item, buf, N);
}
template <size_t N, typename... Args>
inline int KalSnPrintFW(wchar_t (&buf)[N], const wchar_t* format, Args... args) {
    return KalSnPrintFW(buf, N, format, args...);
}
template <size_t N>
inline int KalTipTextGetW(HWND control, wchar_t (&buf)[N]) {
    return KalTipTextGetW(control, buf, N);
}
