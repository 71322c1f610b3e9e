// Visual Studio's Setup Configuration interfaces, as far as the discovery
// uses them: the list of Visual Studio instances (2017 and later) that Visual
// Studio's installer keeps. The platform headers do not declare them, so
// they are declared here from Microsoft's documentation of
// Microsoft.VisualStudio.Setup.Configuration, with the documented interface
// ids and every method in its documented order up to the last one used (a
// method left out would shift those behind it in the table).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

// The state bits of an instance; an instance with all of them is complete.
enum SetupInstanceState : unsigned {
    kSetupStateNone = 0,
    kSetupStateLocal = 1,
    kSetupStateRegistered = 2,
    kSetupStateNoRebootRequired = 4,
    kSetupStateComplete = 0xFFFFFFFFu
};

// {B41463C3-8866-43B5-BC33-2B0676F7F42E}
struct ISetupInstance : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInstanceId(BSTR* instanceId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstallDate(LPFILETIME installDate) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstallationName(BSTR* installationName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstallationPath(BSTR* installationPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstallationVersion(BSTR* installationVersion) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(LCID lcid, BSTR* displayName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(LCID lcid, BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResolvePath(LPCOLESTR relativePath, BSTR* absolutePath) = 0;
};

// {89143C9A-05AF-49B0-B717-72E218A2185C}. The methods behind IsLaunchable
// (IsComplete, GetProperties, GetEnginePath) are not used.
struct ISetupInstance2 : public ISetupInstance {
    virtual HRESULT STDMETHODCALLTYPE GetState(SetupInstanceState* state) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPackages(LPSAFEARRAY* packages) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProduct(IUnknown** package) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProductPath(BSTR* productPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetErrors(IUnknown** errorState) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLaunchable(VARIANT_BOOL* launchable) = 0;
};

// {9AD8E40F-39A2-40F1-BF64-0A6C50DD9EEB}: the catalog an instance was
// installed from, queried from the instance. Servers older than the
// interface lack it.
struct ISetupInstanceCatalog : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCatalogInfo(IUnknown** catalogInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPrerelease(VARIANT_BOOL* prerelease) = 0;
};

// {6380BCFF-41D3-4B2E-8B2E-BF8A6810C848}
struct IEnumSetupInstances : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, ISetupInstance** instances,
                                           ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumSetupInstances** copy) = 0;
};

// {42843719-DB4C-46C2-8E7C-64F1816EFD5B}
struct ISetupConfiguration : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumInstances(IEnumSetupInstances** instances) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstanceForCurrentProcess(ISetupInstance** instance) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInstanceForPath(LPCWSTR path, ISetupInstance** instance) = 0;
};

// {26AAB78C-4A60-49D6-AF3B-3C35BC93365D}
struct ISetupConfiguration2 : public ISetupConfiguration {
    virtual HRESULT STDMETHODCALLTYPE EnumAllInstances(IEnumSetupInstances** instances) = 0;
};

// The class SetupConfiguration, {177F0C4A-1CD3-4DE7-A32C-71DBBB9FA36D}, and
// the interface ids above.
static const CLSID kClsidSetupConfiguration = {
    0x177F0C4A, 0x1CD3, 0x4DE7, {0xA3, 0x2C, 0x71, 0xDB, 0xBB, 0x9F, 0xA3, 0x6D}};
static const IID kIidSetupConfiguration = {
    0x42843719, 0xDB4C, 0x46C2, {0x8E, 0x7C, 0x64, 0xF1, 0x81, 0x6E, 0xFD, 0x5B}};
static const IID kIidSetupConfiguration2 = {
    0x26AAB78C, 0x4A60, 0x49D6, {0xAF, 0x3B, 0x3C, 0x35, 0xBC, 0x93, 0x36, 0x5D}};
static const IID kIidEnumSetupInstances = {
    0x6380BCFF, 0x41D3, 0x4B2E, {0x8B, 0x2E, 0xBF, 0x8A, 0x68, 0x10, 0xC8, 0x48}};
static const IID kIidSetupInstance = {
    0xB41463C3, 0x8866, 0x43B5, {0xBC, 0x33, 0x2B, 0x06, 0x76, 0xF7, 0xF4, 0x2E}};
static const IID kIidSetupInstance2 = {
    0x89143C9A, 0x05AF, 0x49B0, {0xB7, 0x17, 0x72, 0xE2, 0x18, 0xA2, 0x18, 0x5C}};
static const IID kIidSetupInstanceCatalog = {
    0x9AD8E40F, 0x39A2, 0x40F1, {0xBF, 0x64, 0x0A, 0x6C, 0x50, 0xDD, 0x9E, 0xEB}};
