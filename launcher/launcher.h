// The launcher Pikro: its state record, the private messages and every
// handler of its four message maps.
#pragma once

#include "KalBase32.h"
#include "catalogue.h"
#include "discovery.h"
#include "settings.h"

// The user-interface language that keeps the dialogs' Japanese texts; any
// other language gets the English ones.
const LANGID kLangJapanese = 1041;

// Posted to the choice dialog: wParam is the catalogue index to start.
#define UM_START_EDITOR (WM_APP + 100)
// Posted to the choice dialog: fill and show the list.
#define UM_SHOW_CHOICE (WM_APP + 101)
// Posted to the frame after a change of DPI: fit it around its dialog again.
#define UM_REFIT_FRAME (WM_APP + 102)

// The library's stock font for the choice dialog's bold line.
const int kStockFontBold = 11;

// A folder of moved-aside caches to delete once the message loop has ended,
// with the mutex that marks it as this launcher's.
struct MovedAsideFolder {
    HANDLE hFolder;
    HANDLE hLock;
};
const int kMaxMovedAside = 8;

struct LauncherState {
    HINSTANCE hInst;
    HICON hFrameIcon;
    HWND hFrame;
    HWND hSettingsDlg;
    HWND hChoiceDlg;
    HWND hCurDlg;
    UINT uStartErrorMode;  // handed on to the editor, which inherits it through the shim
    wchar_t szSlnPath[1024];
    int fForceChoice;  // 1: started by the right-click verb, the user chooses the editor
    // Folders whose contents cleaning moved out of the version folders:
    // those earlier launchers left behind first, then this launcher's own.
    int nMovedAside;
    MovedAsideFolder movedAside[kMaxMovedAside];
    HANDLE hOwnMovedAside;       // this launcher's own, once made
    unsigned uMovedAsideCount;   // names the entries moved into it
    DiscoveryState discovery;  // the first start's discovery, for a user without a catalogue
    UINT uDpi;                 // the frame's DPI once Windows has told a change; 0 before
    HFONT hNoteFont;           // the choice dialog's bold line at a DPI of its own, if made
    HFONT hOldNoteFont;        // the one it replaced, deleted once the control lets go
    UINT uNoteFontDpi;         // the DPI hNoteFont was made for
};

extern LauncherState g_state;

// Start-up and message loop (frame.cpp).
// Takes the solution path from the command line into szSlnPath: one leading
// double quote is skipped and the text ends at the next double quote; a
// relative path is made absolute against the current folder. A command line
// that begins with the switch /choose (any case, unquoted, a blank after it)
// sets fForceChoice and takes the path after it. Returns 1; -1 (szSlnPath
// empty) when the path, as given or made whole, does not fit szSlnPath: a
// cut path could name another solution; 0 (szSlnPath empty) when it ends in
// a backslash or the switch has no path after it. The launcher then ends
// without doing anything, after telling the user of a path too long.
int TakeSolutionPath(const wchar_t* cmdLine);
// Steps up to the frame's creation; returns 1 when the message loop should run.
int LauncherStartup(HINSTANCE hInst, const wchar_t* cmdLine);
int LauncherMessageLoop();
// The whole program; always returns 0.
int LauncherMain(HINSTANCE hInst, const wchar_t* cmdLine);

void FitFrameToDialog(HWND dialog);
// Gives the frame its caption, fits it around the dialog and centres it on
// the primary monitor: all that only a frame about to be shown needs.
void PrepareFrameForShow(HWND dialog);
// Where a window of the given outer rectangle lands when centred on monitor.
void CentredPosition(const RECT* monitor, const RECT* window, int* x, int* y);

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SettingsDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ChoiceDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The frame on displays of different DPI (frame_dpi.cpp).
// The frame's DPI: the last one Windows told it, else its window's, else the
// system's.
UINT FrameDpi();
// AdjustWindowRectEx for the frame's DPI (without a menu).
void AdjustFrameRect(RECT* rect, DWORD style, DWORD exStyle);
// The bold font of the choice dialog's line for the frame's DPI: the
// library's stock font at the system DPI, else one made for that DPI.
HFONT ChoiceNoteFont();
// Fits the frame around its dialog by the caption and borders it has now.
void FitFrameAroundDialog(HWND dialog);
// Deletes the fonts ChoiceNoteFont made; called once the dialog is gone.
void ReleaseNoteFonts();
int OnFrameDpiChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnFrameRefit(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int OnFrameCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnFrameDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnDialogDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnCancel(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A user's first start (first_start.cpp).
// When the store holds no catalogue section at all for this user, finds the
// installed editors as setup does, storing them as the catalogue, and
// writes the settings a first set-up writes. Returns the number of editors
// it added: 0 when a catalogue section was there (an empty one too) or
// nothing was found, and then nothing is written.
int BuildFirstCatalogue();

// Where a solution cannot be opened (messages.cpp). Each tells the user in
// a message box; returns 1 once the user has closed it, 0 when it could not
// be shown.
// No Visual Studio was found to open the solution at slnPath, and how to
// add one; or, when the first start's discovery gave up waiting for
// Windows' list of instances, that the list did not answer in time and the
// Program Files search found none.
int TellNoEditorFound(const wchar_t* slnPath);
// The solution's path is too long for the launcher, and how long it may be.
int TellPathTooLong();

// Start decision (decide.cpp).
void DecideStart(HWND dialog);
// For a start the user picked after the right-click verb: empties the
// version folders as the settings have them emptied before they decide
// (cleaning on, the version folders deciding), so that a cancelled choice
// leaves them as they were.
void CleanForChosenStart();

// Cleaning of version folders (clean_vs.cpp).
// Moves the contents of every version folder of the per-solution folder
// open as perSln into this launcher's moved-aside folder, but for the
// user's state files; first takes up what killed launchers left behind.
void MoveAsideVersionFolders(HANDLE perSln);
// Puts back a .suo file that an earlier launcher parked in the per-solution
// folder and could not return.
void RestoreParkedSuo(const wchar_t* perSlnFolder);
// Waits for the turn to clean the per-solution folder open as perSlnFolder;
// returns the lock to hand to UnlockCleaning, or nullptr when there is none.
HANDLE LockForCleaning(HANDLE perSlnFolder);
void UnlockCleaning(HANDLE lock);

// The moved-aside folders (moved_aside.cpp).
// Takes up the moved-aside folders of the per-solution folder open as perSln
// that no running launcher holds, to be deleted with this launcher's own.
void AdoptLeftBehind(HANDLE perSln);
// This launcher's own moved-aside folder in perSln, made at the first call;
// nullptr when it cannot be made.
HANDLE OpenMovedAsideFolder(HANDLE perSln);
// Deletes every moved-aside folder this launcher holds and lets go of them.
// Called once the message loop has ended.
void DeleteMovedAside();

// Which of the editors that fit a solution opens it (editor_order.cpp).
// Orders two dotted version texts by their numbers, each compared as a
// number of any length ("17.14.36310.24" before "17.15.1", "17.14" equal to
// "17.14.0"); the numbers end at anything else ("18.3.1 Insiders").
// Returns -1, 0 or 1.
int CompareVersions(const wchar_t* first, const wchar_t* second);
// A test of one catalogue entry: 1 when it fits what the caller looks for.
typedef int (*EditorMatch)(const EditorEntry& entry, const void* context);
// Of the catalogue entries that matches accepts, the one a user expects: a
// release before a prerelease, then the higher version, then the earlier
// in the catalogue. -1 when none fits.
int BestMatchingEditor(EditorMatch matches, const void* context);

// The version that wrote a solution file (sln_version.cpp).
// How much of an .sln file is read for its version: its header lines are
// at the top.
const DWORD kSolutionHeadBytes = 64 * 1024;
// The major version named by the header of an .sln file's beginning (UTF-8
// with or without BOM, UTF-16 LE or BE with BOM): the first number of
// "VisualStudioVersion = 17.8.34330.188", else the "# Visual Studio ..."
// line's version or year. -1 when there is none or it does not fit.
int SolutionMajorVersion(const BYTE* data, DWORD size);
// The number at p when it is a whole word or ends in a dot: 17 of
// "17.8.34330.188", never a part of "170" or "17a". -1 when there is none or
// it has more digits than any version or year.
int LeadingNumber(const char* p);
// What SlnxMajorVersion gives for an .slnx that names no version.
const int kSlnxNoOpenWith = 0;
// The major version that the .slnx file open as file (at its start, a file
// on a disk; UTF-8 with or without BOM, or UTF-16 with BOM), read as XML
// from the file in pieces, asks to be opened with: the last OpenWith
// property of its "Visual Studio" properties, "Visual Studio Version 17" or
// "17". kSlnxNoOpenWith when its solution element has none; -1 when the text
// is no such solution, its OpenWith cannot be read, or the file is larger
// than kSlnxMaxBytes (slnx_stream.h) or ends before its solution element.
// Reads no further than the solution element's end.
int SlnxMajorVersion(HANDLE file);
// The best catalogue entry (BestMatchingEditor) whose version's first
// number is major, or -1.
int EditorForMajorVersion(int major);
// The best catalogue editor (BestMatchingEditor) of those that open .slnx
// solutions by default (version 17.14 or later), or -1.
int NewestSlnxEditor();
// 1 when the editor opens .slnx solutions by default (version 17.14 or
// later).
int OpensSlnx(const EditorEntry& entry);
// The catalogue entry that the solution file at slnPath names (an .sln by
// its beginning, at most kSolutionHeadBytes; an .slnx, when isSlnx, by its
// XML), or -1 when it names none or the path is no file on a disk.
int EditorForSolutionFile(const wchar_t* slnPath, int isSlnx);

// Rows that show editors (editor_rows.cpp).
const size_t kEditorRowUnits = 1024;
// The text of the row of catalogue entry index: its description, followed,
// where other entries share it, by the version's first two numbers and, when
// those are shared too, the edition folder ("Microsoft Visual Studio 2022
// (17.14, Community)"); a prerelease's row ends in the word that marks it
// ("(17.15, Preview)"). Returns 0 with an empty row for an index outside
// the catalogue.
int EditorRowText(int index, wchar_t (&row)[kEditorRowUnits]);

// Choice dialog (choice.cpp).
int OnChoiceInitDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnShowChoice(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnChoiceOk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnChoiceListCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int OnStartEditor(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Settings dialog (settings_dlg.cpp).
int SettingsInitDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int SettingsVsFixChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int SettingsNoVsFixChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int SettingsOk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
wchar_t* SettingsListTipText(UINT_PTR value, wchar_t* buf, int capacity, HWND owner);
// Puts one row per catalogue entry, in catalogue order, into the editor list
// and both combo boxes of the settings dialog; returns the number of rows.
int SettingsFillEditorRows(HWND dialog);

// Drag and drop onto the editor list (drop.cpp).
int ListDropFiles(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void AddDroppedEditor(const wchar_t* exePath);
