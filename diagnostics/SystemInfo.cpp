#include "diagnostics/SystemInfo.h"

#include <utility>
#include <vector>

namespace {

// Owns an open registry key.
class RegistryKey {
public:
    RegistryKey(HKEY root, const std::wstring& path) {
        if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_) ::RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Open() const { return key_ != nullptr; }
    bool HasValue(const wchar_t* name) const {
        return ::RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    std::wstring ReadString(const wchar_t* name) const {
        DWORD type = 0;
        DWORD bytes = 0;
        if (::RegQueryValueExW(key_, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        if (::RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
            ERROR_SUCCESS)
            return {};
        text.resize(bytes / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return text;
    }
    DWORD ReadInteger(const wchar_t* name) const {
        DWORD value = 0;
        DWORD bytes = sizeof(value);
        DWORD type = 0;
        if (::RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            return 0;
        return value;
    }

private:
    HKEY key_ = nullptr;
};

struct NamePattern {
    const wchar_t* pattern;
    const wchar_t* name;
};

struct Vendor {
    const wchar_t* mark;
    std::vector<NamePattern> patterns;
};

const Vendor kVendors[] = {
    {L"Intel",
     {{L"Family 6 Model 5", L"Intel(R) Celeron"},
      {L"Family 6 Model 6", L"Intel(R) Celeron"},
      {L"Family 6 Model 8", L"Intel(R) Pentium \u2162"},
      {L"Family 6 Model 3", L"Intel(R) Pentium \u2161"},
      {L"Family 6 Model 7", L"Intel(R) Pentium \u2162"},
      {L"Family 6 Model 1", L"Intel(R) Pentium"}}},
    {L"AMD",
     {{L"Family 6 Model 1", L"AMD Athlon"},
      {L"Family 6 Model 2", L"AMD Athlon"},
      {L"Family 6 Model 4", L"AMD Athlon"},
      {L"Family 6 Model 3", L"AMD Duron"},
      {L"Family 5 Model 8", L"AMD K6"},
      {L"Family 5 Model 9", L"AMD K6"}}},
    {L"VIA", {{L"Family 6 Model 9", L"VIA C3"}}},
};

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// Takes "~MHz" into the speed; true (a success) whenever the value exists, 0 included.
bool TakeSpeed(const RegistryKey& key, std::wstring& speed) {
    if (!key.HasValue(L"~MHz")) return false;
    const DWORD mhz = key.ReadInteger(L"~MHz");
    if (mhz != 0 && speed.empty()) speed = std::to_wstring(mhz) + L"Mhz";
    return true;
}

// One processor's step; true when it counts as a success.
bool ProbeOne(const ProcessorSource& source, int n, std::wstring& name, std::wstring& speed) {
    const RegistryKey key(source.root, source.keyPrefix + std::to_wstring(n));
    if (!key.Open()) return false;
    bool success = false;
    if (source.ntFamily) {
        if (key.HasValue(L"ProcessorNameString")) {
            if (name.empty()) name = key.ReadString(L"ProcessorNameString");
            return TakeSpeed(key, speed);  // the name is taken as stored
        }
        if (key.HasValue(L"Identifier")) {
            if (name.empty()) name = key.ReadString(L"Identifier");
            success = TakeSpeed(key, speed);
        }
    } else if (key.HasValue(L"Identifier")) {
        name = key.ReadString(L"Identifier");
        speed.clear();
        success = true;
    }
    name = ApplyProcessorNameTable(name);
    return success;
}

}  // namespace

std::wstring ApplyProcessorNameTable(const std::wstring& name) {
    for (const Vendor& vendor : kVendors) {
        if (!Contains(name, vendor.mark)) continue;
        for (const NamePattern& entry : vendor.patterns)
            if (Contains(name, entry.pattern)) return entry.name;
        return name;
    }
    return name;
}

void ProbeProcessors(const ProcessorSource& source, std::wstring& name, std::wstring& speed) {
    name.clear();
    speed.clear();
    int successes = 0;
    for (int n = 0; n <= 1; ++n)
        if (ProbeOne(source, n, name, speed)) ++successes;
    if (name.empty()) name = L"unKnow";
    if (successes > 1) name = L"[DUAL] " + name;
}

std::wstring DescribeOs(const OsVersion& version) {
    std::wstring osName;
    DWORD build = version.build;
    if (version.platformId == VER_PLATFORM_WIN32_WINDOWS) {
        osName = version.minor == 0    ? L"Windows95"
                 : version.minor == 10 ? L"Windows98"
                 : version.minor == 90 ? L"WindowsMe"
                                       : L"Win9x";
        build &= 0xFFFF;
    } else if (version.platformId == VER_PLATFORM_WIN32_NT) {
        if (version.major == 3) osName = L"WindowsNT 3.51";
        else if (version.major == 4) osName = L"WindowsNT 4.0";
        else if (version.major == 5 && version.minor == 0) osName = L"Windows2000";
        else if (version.major == 5 && version.minor == 1) osName = L"WindowsXP";
        // The server editions share these version numbers and get the same names.
        else if (version.major == 6 && version.minor == 0) osName = L"WindowsVista";
        else if (version.major == 6 && version.minor == 1) osName = L"Windows7";
        else if (version.major == 6 && version.minor == 2) osName = L"Windows8";
        else if (version.major == 6 && version.minor == 3) osName = L"Windows8.1";
        else if (version.major == 10 && version.minor == 0) osName = version.build >= 22000 ? L"Windows11" : L"Windows10";
        else osName = L"WinNT";
    } else {
        osName = L"UnKnow";
    }
    return osName + L" " + version.servicePack + L" [Build:" + std::to_wstring(build) + L"]";
}

OsVersion CurrentOsVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ::GetVersionExW(&info);
#pragma GCC diagnostic pop
    return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.szCSDVersion};
}

TESysteminfo::TESysteminfo(bool withProcessor) : TESysteminfo(withProcessor, CurrentOsVersion(), [] {
    ProcessorSource source;
    source.ntFamily = CurrentOsVersion().platformId == VER_PLATFORM_WIN32_NT;
    return source;
}()) {}

TESysteminfo::TESysteminfo(bool withProcessor, const OsVersion& version, const ProcessorSource& processors)
    : OSDescription(DescribeOs(version)), PriorityClass(::GetPriorityClass(::GetCurrentProcess())) {
    if (withProcessor) ProbeProcessors(processors, CPUName, CPUSpeed);
}

void TESysteminfo::SetPriority(DWORD priorityClass) {
    if (priorityClass == PriorityClass) return;
    ::SetPriorityClass(::GetCurrentProcess(), priorityClass);
    PriorityClass = priorityClass;
}
