// A stand-in for Visual Studio's Setup Configuration server, for the tests:
// an in-process COM server of the class SetupConfiguration whose instance
// list is what a test wrote into "instances.txt" beside this DLL (UTF-16
// with a byte order mark, read afresh for every object created), one line
// each:
//
//   instance<TAB>installation path<TAB>version<TAB>state<TAB>launchable<TAB>product path
//           [<TAB>prerelease]
//       one instance: its state a number (4294967295 is complete),
//       launchable 1 or 0, the product path relative to the installation
//       path ("" for a product without one); prerelease is what its
//       catalog's IsPrerelease answers: a number (-1 VARIANT_TRUE, 0
//       VARIANT_FALSE, anything else garbage), "fail" (the call fails) or
//       "none" (the instance has no catalog interface); 0 when left out
//   endless         the enumeration never ends: after the listed instances
//                   it hands out the last one again and again
//   stall<TAB>ms    after the listed instances, Next does not return for ms
//                   milliseconds (0: never), then ends the list
//   create-fails    the class factory refuses to create the object
//
// It answers like the real server: ResolvePath joins the installation path
// and a relative path with one backslash, whatever they hold.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "setup_config.h"

namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

struct InstanceData {
    std::wstring path;
    std::wstring version;
    unsigned state = 0;
    bool launchable = false;
    std::wstring product;
    std::wstring prerelease = L"0";
};

struct InstanceList {
    std::vector<InstanceData> instances;
    bool endless = false;
    bool stall = false;
    DWORD stallMs = 0;
    bool createFails = false;
};

std::vector<std::wstring> SplitTabs(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? tab : tab - start));
        if (tab == std::wstring::npos) return fields;
        start = tab + 1;
    }
}

InstanceList ReadInstanceList() {
    InstanceList list;
    wchar_t path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return list;
    std::wstring file(path, length);
    file = file.substr(0, file.rfind(L'\\') + 1) + L"instances.txt";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return list;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(handle);
    std::wstring text(bytes.size() / 2, L'\0');
    if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * 2);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        std::vector<std::wstring> fields = SplitTabs(line);
        if (fields[0] == L"endless") {
            list.endless = true;
        } else if (fields[0] == L"create-fails") {
            list.createFails = true;
        } else if (fields[0] == L"stall" && fields.size() == 2) {
            list.stall = true;
            list.stallMs = static_cast<DWORD>(wcstoul(fields[1].c_str(), nullptr, 0));
        } else if (fields[0] == L"instance" && (fields.size() == 6 || fields.size() == 7)) {
            InstanceData data;
            data.path = fields[1];
            data.version = fields[2];
            data.state = static_cast<unsigned>(wcstoul(fields[3].c_str(), nullptr, 0));
            data.launchable = fields[4] == L"1";
            data.product = fields[5];
            if (fields.size() == 7) data.prerelease = fields[6];
            list.instances.push_back(data);
        }
    }
    return list;
}

HRESULT GiveString(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The IUnknown part every object of the server shares.
template <typename Base>
class Object : public Base {
public:
    Object() { InterlockedIncrement(&g_objects); }
    virtual ~Object() { InterlockedDecrement(&g_objects); }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

protected:
    HRESULT Answer(void** out, bool matches) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!matches) return E_NOINTERFACE;
        *out = static_cast<Base*>(this);
        AddRef();
        return S_OK;
    }

private:
    LONG refs_ = 1;
};

// The catalog an instance was installed from; it keeps its instance alive.
class Catalog : public Object<ISetupInstanceCatalog> {
public:
    Catalog(IUnknown* instance, const std::wstring& prerelease)
        : instance_(instance), prerelease_(prerelease) {
        instance_->AddRef();
    }
    ~Catalog() override { instance_->Release(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, kIidSetupInstanceCatalog)) return Answer(out, true);
        return instance_->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE GetCatalogInfo(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsPrerelease(VARIANT_BOOL* prerelease) override {
        if (!prerelease) return E_POINTER;
        if (prerelease_ == L"fail") return E_FAIL;
        *prerelease = static_cast<VARIANT_BOOL>(wcstol(prerelease_.c_str(), nullptr, 0));
        return S_OK;
    }

private:
    IUnknown* instance_;
    std::wstring prerelease_;
};

class Instance : public Object<ISetupInstance2> {
public:
    explicit Instance(const InstanceData& data) : data_(data) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, kIidSetupInstanceCatalog) && out && data_.prerelease != L"none") {
            *out = static_cast<ISetupInstanceCatalog*>(new Catalog(this, data_.prerelease));
            return S_OK;
        }
        return Answer(out, IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidSetupInstance) ||
                               IsEqualIID(iid, kIidSetupInstance2));
    }
    HRESULT STDMETHODCALLTYPE GetInstanceId(BSTR* out) override { return GiveString(L"fake", out); }
    HRESULT STDMETHODCALLTYPE GetInstallDate(LPFILETIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetInstallationName(BSTR* out) override {
        return GiveString(L"VisualStudio/" + data_.version, out);
    }
    HRESULT STDMETHODCALLTYPE GetInstallationPath(BSTR* out) override {
        return GiveString(data_.path, out);
    }
    HRESULT STDMETHODCALLTYPE GetInstallationVersion(BSTR* out) override {
        return GiveString(data_.version, out);
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(LCID, BSTR* out) override {
        return GiveString(L"Visual Studio", out);
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LCID, BSTR* out) override {
        return GiveString(L"Visual Studio", out);
    }
    HRESULT STDMETHODCALLTYPE ResolvePath(LPCOLESTR relative, BSTR* out) override {
        std::wstring path = data_.path;
        if (!path.empty() && path.back() != L'\\') path += L'\\';
        if (relative) path += relative;
        return GiveString(path, out);
    }
    HRESULT STDMETHODCALLTYPE GetState(SetupInstanceState* state) override {
        if (!state) return E_POINTER;
        *state = static_cast<SetupInstanceState>(data_.state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPackages(LPSAFEARRAY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProduct(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProductPath(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return data_.product.empty() ? S_OK : GiveString(data_.product, out);
    }
    HRESULT STDMETHODCALLTYPE GetErrors(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsLaunchable(VARIANT_BOOL* launchable) override {
        if (!launchable) return E_POINTER;
        *launchable = data_.launchable ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    InstanceData data_;
};

class Enumeration : public Object<IEnumSetupInstances> {
public:
    explicit Enumeration(const InstanceList& list) : list_(list) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(out, IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidEnumSetupInstances));
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, ISetupInstance** instances, ULONG* fetched) override {
        if (!instances || (count > 1 && !fetched)) return E_INVALIDARG;
        ULONG given = 0;
        while (given < count) {
            const InstanceData* data = nullptr;
            if (next_ < list_.instances.size())
                data = &list_.instances[next_++];
            else if (list_.endless && !list_.instances.empty())
                data = &list_.instances.back();
            else if (list_.stall)
                Sleep(list_.stallMs ? list_.stallMs : INFINITE);
            if (!data) break;
            instances[given++] = new Instance(*data);
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSetupInstances** copy) override {
        if (!copy) return E_POINTER;
        Enumeration* clone = new Enumeration(list_);
        clone->next_ = next_;
        *copy = clone;
        return S_OK;
    }

private:
    InstanceList list_;
    size_t next_ = 0;
};

class Configuration : public Object<ISetupConfiguration2> {
public:
    explicit Configuration(const InstanceList& list) : list_(list) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Answer(out, IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidSetupConfiguration) ||
                               IsEqualIID(iid, kIidSetupConfiguration2));
    }
    HRESULT STDMETHODCALLTYPE EnumInstances(IEnumSetupInstances** out) override {
        return EnumAllInstances(out);
    }
    HRESULT STDMETHODCALLTYPE GetInstanceForCurrentProcess(ISetupInstance**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetInstanceForPath(LPCWSTR, ISetupInstance**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumAllInstances(IEnumSetupInstances** out) override {
        if (!out) return E_POINTER;
        *out = new Enumeration(list_);
        return S_OK;
    }

private:
    InstanceList list_;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory))
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // One static factory for the life of the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        InstanceList list = ReadInstanceList();
        if (list.createFails) return E_FAIL;
        Configuration* configuration = new Configuration(list);
        HRESULT result = configuration->QueryInterface(iid, out);
        configuration->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kClsidSetupConfiguration)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}
