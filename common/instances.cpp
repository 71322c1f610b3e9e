// The Visual Studio instances that Windows lists: every Visual Studio since
// 2017 is recorded by its installer and listed by the Setup Configuration
// server, wherever it was installed (another folder, another drive) and
// however many share one "Microsoft Visual Studio" folder. Each usable one
// is taken with whether it is a prerelease channel.
//
// The server is code of someone else's running in this process, and what it
// answers is taken as untrusted text: every value is bounded, and the
// enumeration ends after a few hundred instances however many it offers.
#include "discovery.h"

#include <string.h>
#include <wchar.h>

#include "setup_config.h"
#include "store_keys.h"

namespace {

// COM's functions, bound from the system folder when the list is asked for.
// Linked at load time, ole32 and oleaut32 would be loaded at every start of
// the launcher, which asks the list once for a user, and never again.
struct ComLibrary {
    HRESULT(WINAPI* initializeEx)(LPVOID reserved, DWORD model);
    void(WINAPI* uninitialize)();
    HRESULT(WINAPI* createInstance)(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                    LPVOID* object);
    void(WINAPI* freeString)(BSTR text);
};

// Far more instances than any machine holds side by side.
const int kMaxInstances = 256;
// A version is a few dot-separated numbers ("17.8.34330.188").
const size_t kMaxVersionUnits = 64;

// Frees a string the server handed over, on every path.
struct OwnedBstr {
    explicit OwnedBstr(const ComLibrary& com) : freeString(com.freeString) {}
    ~OwnedBstr() { freeString(text); }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    void(WINAPI* freeString)(BSTR text);
    BSTR text = nullptr;
};

// The length of a BSTR in UTF-16 units, as SysStringLen gives it: the byte
// count that a BSTR carries in the four bytes before its first unit.
UINT BstrUnits(BSTR text) {
    if (!text) return 0;
    UINT bytes = 0;
    memcpy(&bytes, reinterpret_cast<const BYTE*>(text) - sizeof(bytes), sizeof(bytes));
    return bytes / sizeof(wchar_t);
}

// Binds COM's functions from the libraries in the system folder. Returns 1
// when all of them are there. The libraries stay loaded: COM keeps what it
// set up for the process.
int BindComLibrary(ComLibrary* com) {
    ZeroMemory(com, sizeof(*com));
    wchar_t szOle[260];
    wchar_t szOleAut[260];
    const UINT cch = GetSystemDirectoryW(szOle, _countof(szOle));
    if (cch == 0 || cch >= _countof(szOle) || wcscpy_s(szOleAut, szOle) != 0 ||
        !KalPathCatW(szOle, L"ole32.dll") || !KalPathCatW(szOleAut, L"oleaut32.dll"))
        return 0;
    HMODULE ole = LoadLibraryW(szOle);
    HMODULE oleAut = ole ? LoadLibraryW(szOleAut) : nullptr;
    if (!oleAut) return 0;
    // Through a plain function pointer, as GetProcAddress gives every
    // function whatever its type.
    typedef void (*AnyFunction)(void);
    com->initializeEx = reinterpret_cast<decltype(com->initializeEx)>(
        reinterpret_cast<AnyFunction>(GetProcAddress(ole, "CoInitializeEx")));
    com->uninitialize = reinterpret_cast<decltype(com->uninitialize)>(
        reinterpret_cast<AnyFunction>(GetProcAddress(ole, "CoUninitialize")));
    com->createInstance = reinterpret_cast<decltype(com->createInstance)>(
        reinterpret_cast<AnyFunction>(GetProcAddress(ole, "CoCreateInstance")));
    com->freeString = reinterpret_cast<decltype(com->freeString)>(
        reinterpret_cast<AnyFunction>(GetProcAddress(oleAut, "SysFreeString")));
    return com->initializeEx && com->uninitialize && com->createInstance && com->freeString;
}

// Releases an interface the server handed over, on every path.
template <typename T>
struct OwnedRef {
    T* ref = nullptr;
    ~OwnedRef() {
        if (ref) ref->Release();
    }
};

// Copies a server's string into path when it is a whole absolute path
// (a drive and a backslash, or a share) that fits without being cut and
// holds no terminator inside. Returns 1 when it was taken.
int TakePath(BSTR text, wchar_t (&path)[260]) {
    path[0] = L'\0';
    if (!text) return 0;
    const UINT units = BstrUnits(text);
    if (units < 3 || units >= _countof(path) || wcsnlen(text, units) != units) return 0;
    const int drive = ((text[0] | 0x20) >= L'a' && (text[0] | 0x20) <= L'z') && text[1] == L':' &&
                      text[2] == L'\\';
    const int share = text[0] == L'\\' && text[1] == L'\\' && text[2] != L'\\';
    if (!drive && !share) return 0;
    wmemcpy(path, text, units);
    path[units] = L'\0';
    return 1;
}

// 1 when a version reads as one to four dot-separated numbers of at most
// five digits each: what Visual Studio's installer records. Anything else
// comes from a broken or hostile server.
int IsVersionText(BSTR text) {
    if (!text) return 0;
    const UINT units = BstrUnits(text);
    if (units == 0 || units > kMaxVersionUnits || wcsnlen(text, units) != units) return 0;
    int parts = 1;
    int digits = 0;
    for (UINT i = 0; i < units; ++i) {
        if (text[i] >= L'0' && text[i] <= L'9') {
            if (++digits > 5) return 0;
        } else if (text[i] == L'.' && digits > 0 && parts < 4) {
            ++parts;
            digits = 0;
        } else {
            return 0;
        }
    }
    return digits > 0;
}

// 1 when path lies inside folder: folder, without a trailing backslash,
// followed by a backslash, A to Z compared without regard to case.
int LiesInside(const wchar_t* path, const wchar_t* folder) {
    size_t length = wcslen(folder);
    if (length > 0 && folder[length - 1] == L'\\') --length;
    return length > 0 && _wcsnicmp(path, folder, length) == 0 && path[length] == L'\\';
}

// The editor of one instance: a complete, launchable install whose product
// is an existing devenv.exe inside its installation folder. Returns 1 with
// its full path in editor.
int UsableEditorOf(const ComLibrary& com, ISetupInstance* instance, wchar_t (&editor)[260]) {
    OwnedRef<ISetupInstance2> instance2;
    if (FAILED(instance->QueryInterface(kIidSetupInstance2,
                                        reinterpret_cast<void**>(&instance2.ref))) ||
        !instance2.ref)
        return 0;
    SetupInstanceState state = kSetupStateNone;
    VARIANT_BOOL launchable = VARIANT_FALSE;
    if (FAILED(instance2.ref->GetState(&state)) || state != kSetupStateComplete) return 0;
    if (FAILED(instance2.ref->IsLaunchable(&launchable)) || launchable == VARIANT_FALSE) return 0;

    OwnedBstr version(com);
    if (FAILED(instance2.ref->GetInstallationVersion(&version.text)) || !IsVersionText(version.text))
        return 0;
    OwnedBstr installation(com);
    wchar_t szInstallation[260];
    if (FAILED(instance2.ref->GetInstallationPath(&installation.text)) ||
        !TakePath(installation.text, szInstallation))
        return 0;
    // Build Tools and other products without an editor name no product
    // path, or another program.
    OwnedBstr product(com);
    if (FAILED(instance2.ref->GetProductPath(&product.text)) || !product.text ||
        BstrUnits(product.text) == 0 || BstrUnits(product.text) >= 260 ||
        wcsnlen(product.text, BstrUnits(product.text)) != BstrUnits(product.text))
        return 0;
    OwnedBstr resolved(com);
    if (FAILED(instance2.ref->ResolvePath(product.text, &resolved.text)) ||
        !TakePath(resolved.text, editor) || !LiesInside(editor, szInstallation))
        return 0;
    const wchar_t* name = wcsrchr(editor, L'\\');
    if (!name || _wcsicmp(name + 1, kEditorExe) != 0) return 0;
    // The folder of an uninstalled or moved instance is gone.
    const DWORD attributes = GetFileAttributesW(editor);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether Windows' list calls the instance a prerelease channel (Preview,
// Insiders): what the instance's catalog says. A server without that
// interface, a failing call or any answer but VARIANT_TRUE is a release.
int IsPrereleaseInstance(ISetupInstance* instance) {
    OwnedRef<ISetupInstanceCatalog> catalog;
    if (instance->QueryInterface(kIidSetupInstanceCatalog,
                                 reinterpret_cast<void**>(&catalog.ref)) != S_OK ||
        !catalog.ref)
        return 0;
    VARIANT_BOOL prerelease = VARIANT_FALSE;
    return catalog.ref->IsPrerelease(&prerelease) == S_OK && prerelease == VARIANT_TRUE;
}

// Reads the instances of the list. Returns 1 when the enumeration ran to its
// end (or to the bound on instances), 0 when it could not be had.
int ReadListedInstances(const ComLibrary& com, ISetupConfiguration2* configuration,
                        FoundEditors* listed) {
    OwnedRef<IEnumSetupInstances> instances;
    if (FAILED(configuration->EnumAllInstances(&instances.ref)) || !instances.ref) return 0;
    for (int i = 0; i < kMaxInstances; ++i) {
        OwnedRef<ISetupInstance> instance;
        ULONG fetched = 0;
        const HRESULT next = instances.ref->Next(1, &instance.ref, &fetched);
        if (next == S_FALSE && !instance.ref) return 1;
        if (next != S_OK || fetched != 1 || !instance.ref) return 0;
        wchar_t szEditor[260];
        if (UsableEditorOf(com, instance.ref, szEditor))
            AddFoundEditor(listed, szEditor, 1, IsPrereleaseInstance(instance.ref));
    }
    return 1;
}

}  // namespace

int ReadInstanceList(FoundEditors* listed) {
    ComLibrary com;
    if (!BindComLibrary(&com)) return 0;
    // A thread of a program that uses COM already keeps its apartment; only
    // an initialization made here is undone here.
    const HRESULT initialized = com.initializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(initialized) && initialized != RPC_E_CHANGED_MODE) return 0;
    int answered = 0;
    {
        // No class registered (no Visual Studio 2017 or later on the
        // machine) or any failure: nothing is added, silently.
        OwnedRef<ISetupConfiguration> configuration;
        OwnedRef<ISetupConfiguration2> configuration2;
        if (SUCCEEDED(com.createInstance(kClsidSetupConfiguration, nullptr, CLSCTX_INPROC_SERVER,
                                         kIidSetupConfiguration,
                                         reinterpret_cast<void**>(&configuration.ref))) &&
            configuration.ref &&
            SUCCEEDED(configuration.ref->QueryInterface(
                kIidSetupConfiguration2, reinterpret_cast<void**>(&configuration2.ref))) &&
            configuration2.ref)
            answered = ReadListedInstances(com, configuration2.ref, listed);
    }
    if (SUCCEEDED(initialized)) com.uninitialize();
    return answered;
}
