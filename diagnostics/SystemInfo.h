#pragma once

// A snapshot of the machine in two short texts, the operating system and the processor, for
// the run log and the settings window; also the switch of the process priority class.

#include <windows.h>

#include <string>

// What the operating system reports of its version.
struct OsVersion {
    DWORD platformId = 0;  // VER_PLATFORM_WIN32_WINDOWS (9x family) or VER_PLATFORM_WIN32_NT
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    std::wstring servicePack;
};

// Where the processor probe looks: normally HKEY_LOCAL_MACHINE and the system's key.
struct ProcessorSource {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::wstring keyPrefix = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\";
    bool ntFamily = true;
};

class TESysteminfo {
public:
    // Describes the running system; with `withProcessor` also its processor.
    explicit TESysteminfo(bool withProcessor);
    // The same, from the given version and processor keys.
    TESysteminfo(bool withProcessor, const OsVersion& version, const ProcessorSource& processors);

    // Sets the priority class of the current process when it differs from PriorityClass.
    void SetPriority(DWORD priorityClass);

    std::wstring OSDescription;
    std::wstring CPUName;
    std::wstring CPUSpeed;
    DWORD PriorityClass = 0;
};

// The running system's version, as the system reports it.
OsVersion CurrentOsVersion();
// Name, service pack and build: "WindowsXP Service Pack 2 [Build:2600]".
std::wstring DescribeOs(const OsVersion& version);
// The probe's name and speed for processors 0 and 1 under the source.
void ProbeProcessors(const ProcessorSource& source, std::wstring& name, std::wstring& speed);
// Replaces an identifier by the marketing name of its vendor's table, when one matches.
std::wstring ApplyProcessorNameTable(const std::wstring& name);
