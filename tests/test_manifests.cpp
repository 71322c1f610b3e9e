// The manifests the four programs carry, read back from each built program's
// RT_MANIFEST resource with the XML reader Windows ships, namespaces and all:
// Windows honours a DPI setting or a supported-OS id only in its own
// namespace. Wine runs unaware programs unblurred, so only the manifest
// itself shows whether Windows will stretch a program as a bitmap.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <set>
#include <string>
#include <vector>

#include "testutil.h"

using namespace testutil;

namespace {

const wchar_t kWindowsSettings2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
const wchar_t kWindowsSettings2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
const wchar_t kCompatibility[] = L"urn:schemas-microsoft-com:compatibility.v1";
const wchar_t kAsmV3[] = L"urn:schemas-microsoft-com:asm.v3";

// One element of a manifest: its namespace, its name, the namespace and name
// of its parent, its text and its "Id" attribute.
struct ManifestElement {
    std::wstring ns, name, parentNs, parentName, text, id;
};

typedef HRESULT(WINAPI* CreateXmlReaderFn)(REFIID, void**, IMalloc*);

// Reads every element of an XML text. Returns 0 when the text is no
// well-formed XML.
int ReadManifest(const std::string& xml, std::vector<ManifestElement>* out) {
    HMODULE lib = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!lib) return 0;
    CreateXmlReaderFn create = reinterpret_cast<CreateXmlReaderFn>(
        reinterpret_cast<void*>(GetProcAddress(lib, "CreateXmlReader")));
    IXmlReader* reader = nullptr;
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()),
                                        static_cast<UINT>(xml.size()));
    int ok = create && stream && SUCCEEDED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr)) &&
             SUCCEEDED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) &&
             SUCCEEDED(reader->SetInput(stream));
    std::vector<size_t> open;  // indexes into out of the elements not yet ended
    XmlNodeType type;
    HRESULT hr = S_OK;
    while (ok && (hr = reader->Read(&type)) == S_OK) {
        const wchar_t* value = nullptr;
        if (type == XmlNodeType_Element) {
            ManifestElement e;
            reader->GetNamespaceUri(&value, nullptr);
            e.ns = value ? value : L"";
            reader->GetLocalName(&value, nullptr);
            e.name = value ? value : L"";
            if (!open.empty()) {
                e.parentNs = (*out)[open.back()].ns;
                e.parentName = (*out)[open.back()].name;
            }
            if (reader->MoveToAttributeByName(L"Id", nullptr) == S_OK &&
                SUCCEEDED(reader->GetValue(&value, nullptr)))
                e.id = value;
            reader->MoveToElement();
            out->push_back(e);
            if (!reader->IsEmptyElement()) open.push_back(out->size() - 1);
        } else if (type == XmlNodeType_Text && !open.empty()) {
            if (SUCCEEDED(reader->GetValue(&value, nullptr))) (*out)[open.back()].text += value;
        } else if (type == XmlNodeType_EndElement && !open.empty()) {
            open.pop_back();
        }
    }
    if (ok && FAILED(hr)) ok = 0;
    if (reader) reader->Release();
    if (stream) stream->Release();
    FreeLibrary(lib);
    return ok;
}


// Every program declares per-monitor awareness v2 with v1 behind it, the
// older per-monitor switch that Windows 7 and 8 read as system aware, and
// Windows 7, 8, 8.1 and 10/11 as supported, each in the namespace Windows
// reads it from and inside the element it belongs to.
TEST(ProgramManifests, PerMonitorAwareAndWindows7To11) {
    const std::set<std::wstring> supported = {
        L"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        L"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
        L"{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
        L"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
    };
    for (const wchar_t* name : {L"Pikro.exe", L"PikroInstall.exe", L"PikroUninstall.exe",
                                L"PikroExec\\PikroExec.exe"}) {
        SCOPED_TRACE(ToUtf8(name));
        const std::string xml = ManifestOf(ProgramPath(name));
        ASSERT_FALSE(xml.empty());
        std::vector<ManifestElement> elements;
        ASSERT_EQ(1, ReadManifest(xml, &elements));
        std::vector<std::wstring> dpiAware, dpiAwareness;
        std::set<std::wstring> ids;
        int execution = 0;
        for (const ManifestElement& e : elements) {
            const bool inSettings = e.parentNs == kAsmV3 && e.parentName == L"windowsSettings";
            if (e.name == L"dpiAware" && e.ns == kWindowsSettings2005 && inSettings)
                dpiAware.push_back(e.text);
            if (e.name == L"dpiAwareness" && e.ns == kWindowsSettings2016 && inSettings)
                dpiAwareness.push_back(e.text);
            if (e.name == L"supportedOS" && e.ns == kCompatibility &&
                e.parentNs == kCompatibility && e.parentName == L"application")
                ids.insert(e.id);
            if (e.name == L"requestedExecutionLevel") ++execution;
        }
        EXPECT_EQ(dpiAware, std::vector<std::wstring>{L"true/pm"});
        EXPECT_EQ(dpiAwareness, std::vector<std::wstring>{L"PerMonitorV2, PerMonitor"});
        EXPECT_EQ(ids, supported);
        EXPECT_EQ(1, execution);
        EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos);
    }
}

// The installer and the uninstaller it writes: NSIS's manifest, with the
// per-monitor awareness Windows gives where it can and the system's
// elsewhere, every Windows it knows as supported, and no rights asked at the
// start (the installer asks for them only when it installs for everyone).
TEST(ProgramManifests, InstallerIsDpiAwareAndAsksForNoRights) {
    const std::wstring setup = JoinPath(BinDir(), L"..\\installer\\PikroSetup.exe");
    if (!FileExists(setup)) GTEST_SKIP() << "no installer at " << ToUtf8(setup);
    std::vector<ManifestElement> elements;
    ASSERT_EQ(1, ReadManifest(ManifestOf(setup), &elements));
    std::vector<std::wstring> dpiAware, dpiAwareness;
    std::set<std::wstring> ids;
    for (const ManifestElement& e : elements) {
        if (e.name == L"dpiAware" && e.ns == kWindowsSettings2005) dpiAware.push_back(e.text);
        if (e.name == L"dpiAwareness" && e.ns == kWindowsSettings2016) dpiAwareness.push_back(e.text);
        if (e.name == L"supportedOS" && e.ns == kCompatibility) ids.insert(e.id);
    }
    EXPECT_EQ(dpiAware, std::vector<std::wstring>{L"true"});
    EXPECT_EQ(dpiAwareness, std::vector<std::wstring>{L"PerMonitorV2,System"});
    EXPECT_EQ(1u, ids.count(L"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));  // Windows 10 and 11
    EXPECT_NE(ManifestOf(setup).find("level=\"asInvoker\""), std::string::npos);
}

}  // namespace
