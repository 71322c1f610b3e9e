// What the launcher says when it knows no editor at all. A double-click on a
// solution that ended without a window would leave the user guessing, so a
// start with a solution says that no Visual Studio was found and how to add
// one; a start without one opens the settings dialog, whose drop line says
// the same (settings_dlg.cpp).
#include "launcher.h"

#include <shlwapi.h>

namespace {

const wchar_t kNoEditorCaption[] = L"Travuna";
const wchar_t kNoEditorEn[] =
    L"No Visual Studio was found, so \"%s\" cannot be opened.\n\n"
    L"To add one, start Travuna (Pikro.exe) without a solution and drop a devenv.exe on "
    L"its list of Visual Studio, or run PikroInstall.exe again after installing Visual Studio.";
const wchar_t kNoEditorJa[] =
    L"Visual Studio が見つからないため、\"%s\" を開けません。\n\n"
    L"追加するには、ソリューションを指定せずに Travuna (Pikro.exe) を起動し、"
    L"Visual Studio の一覧に devenv.exe をドロップしてください。"
    L"Visual Studio をインストールした後で PikroInstall.exe を実行し直しても追加されます。";

}  // namespace

int TellNoEditorFound(const wchar_t* slnPath) {
    // The file name is enough to tell which double-click this answers; a
    // long folder would only push the advice out of view.
    wchar_t text[2048] = L"";
    const int japanese = KalGetLangId() == kLangJapanese;
    KalSnPrintFW(text, japanese ? kNoEditorJa : kNoEditorEn, PathFindFileNameW(slnPath));
    // No window of the launcher exists yet: the box is its own top-level
    // window and comes to the front, as the double-click's answer should.
    return MessageBoxW(nullptr, text, kNoEditorCaption,
                       MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND) != 0;
}
