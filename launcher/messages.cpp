// What the launcher says where it cannot open a solution. A double-click
// that ended without a window would leave the user guessing, so each such
// road ends in a message box that says why and what to do: no Visual
// Studio known (also when Windows' list of them did not answer in time), or
// a path longer than the launcher takes. A start without a solution opens
// the settings dialog instead, whose drop line says the same
// (settings_dlg.cpp).
#include "launcher.h"

#include <shlwapi.h>

namespace {

const wchar_t kMessageCaption[] = L"Travuna";
const wchar_t kNoEditorEn[] =
    L"No Visual Studio was found, so \"%s\" cannot be opened.\n\n"
    L"To add one, start Travuna (Pikro.exe) without a solution and drop a devenv.exe on "
    L"its list of Visual Studio, or run PikroInstall.exe again after installing Visual Studio.";
const wchar_t kNoEditorJa[] =
    L"Visual Studio が見つからないため、\"%s\" を開けません。\n\n"
    L"追加するには、ソリューションを指定せずに Travuna (Pikro.exe) を起動し、"
    L"Visual Studio の一覧に devenv.exe をドロップしてください。"
    L"Visual Studio をインストールした後で PikroInstall.exe を実行し直しても追加されます。";
// Nothing was stored, so the next start asks the list again.
const wchar_t kListLateEn[] =
    L"Windows' list of installed Visual Studio did not answer within %u seconds, and the "
    L"search of the Program Files folders found no Visual Studio that could be added, so "
    L"\"%s\" cannot be opened.\n\n"
    L"Open the solution again to ask the list once more. To add a Visual Studio yourself, "
    L"start Travuna (Pikro.exe) without a solution and drop a devenv.exe on its list of "
    L"Visual Studio.";
const wchar_t kListLateJa[] =
    L"Windows の Visual Studio の一覧が %u 秒以内に応答せず、Program Files フォルダの検索でも"
    L"追加できる Visual Studio が見つからなかったため、\"%s\" を開けません。\n\n"
    L"ソリューションをもう一度開くと、一覧に再び問い合わせます。自分で追加するには、"
    L"ソリューションを指定せずに Travuna (Pikro.exe) を起動し、"
    L"Visual Studio の一覧に devenv.exe をドロップしてください。";
const wchar_t kPathTooLongEn[] =
    L"This solution cannot be opened: its full path is %u characters or longer, and Travuna "
    L"opens only solutions whose full path is shorter.\n\n"
    L"Move the solution to a folder with a shorter path, or open it from Visual Studio.";
const wchar_t kPathTooLongJa[] =
    L"このソリューションは開けません。フルパスが %u 文字以上あり、Travuna が開けるのは"
    L"フルパスがそれより短いソリューションだけです。\n\n"
    L"ソリューションをパスの短いフォルダに移すか、Visual Studio から開いてください。";

// No window of the launcher exists yet: the box is its own top-level window
// and comes to the front, as the double-click's answer should.
int ShowMessage(const wchar_t* text, UINT icon) {
    return MessageBoxW(nullptr, text, kMessageCaption, MB_OK | icon | MB_SETFOREGROUND) != 0;
}

}  // namespace

int TellNoEditorFound(const wchar_t* slnPath) {
    // The file name is enough to tell which double-click this answers; a
    // long folder would only push the advice out of view.
    wchar_t text[2048] = L"";
    const int japanese = KalGetLangId() == kLangJapanese;
    const wchar_t* name = PathFindFileNameW(slnPath);
    if (g_state.discovery.fListLate) {
        KalSnPrintFW(text, japanese ? kListLateJa : kListLateEn,
                     static_cast<unsigned>(kInstanceListDeadlineMs / 1000), name);
    } else {
        KalSnPrintFW(text, japanese ? kNoEditorJa : kNoEditorEn, name);
    }
    return ShowMessage(text, MB_ICONINFORMATION);
}

int TellPathTooLong() {
    wchar_t text[1024] = L"";
    KalSnPrintFW(text, KalGetLangId() == kLangJapanese ? kPathTooLongJa : kPathTooLongEn,
                 static_cast<unsigned>(_countof(g_state.szSlnPath)));
    return ShowMessage(text, MB_ICONWARNING);
}
