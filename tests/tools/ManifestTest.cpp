// The manifests the programs carry: each edition names its own architecture, and the common
// controls dependency takes the architecture of whatever loads it. Windows refuses to start a
// 64-bit program whose manifest says x86 (Wine does not check), so the resources are read here.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The machine field of a program's file header (the system's own look-up needs the program to
// be one this system can start).
WORD MachineOf(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    file.read(reinterpret_cast<char*>(&dos), sizeof(dos));
    file.seekg(dos.e_lfanew);
    file.read(reinterpret_cast<char*>(&nt), sizeof(nt.Signature) + sizeof(nt.FileHeader));
    return file && nt.Signature == IMAGE_NT_SIGNATURE ? nt.FileHeader.Machine : 0;
}

// Resource RT_MANIFEST 1 of a program, read as data (the program may be of the other width).
std::string ManifestOf(const std::wstring& path) {
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // 32-bit Wine maps a 64-bit program only as a plain data file.
    if (!module) module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return {};
    std::string text;
    if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST))
        if (HGLOBAL loaded = ::LoadResource(module, found))
            text.assign(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found));
    ::FreeLibrary(module);
    return text;
}

// The processorArchitecture of the first assemblyIdentity at or after `from`.
std::string ArchitectureIn(const std::string& manifest, std::size_t from = 0) {
    const std::string key = "processorArchitecture=\"";
    const std::size_t at = manifest.find("<assemblyIdentity", from);
    const std::size_t value = at == std::string::npos ? at : manifest.find(key, at);
    if (value == std::string::npos || value > manifest.find('>', at)) return "(none)";
    return manifest.substr(value + key.size(), manifest.find('"', value + key.size()) - value - key.size());
}

}  // namespace

// Both editions' programs where they have been built: this one's always, the other's beside it.
TEST(Manifest, EachEditionNamesItsOwnArchitectureAndTheControlsDependencyTakesAny) {
    std::wstring bin(32768, L'\0');
    bin.resize(::GetModuleFileNameW(nullptr, bin.data(), static_cast<DWORD>(bin.size())));
    bin.resize(bin.find_last_of(L'\\'));
    const std::wstring build = bin.substr(0, bin.find_last_of(L'\\'));
    const bool thisIs64 = build.size() >= 2 && build.compare(build.size() - 2, 2, L"64") == 0;
    const std::wstring other = build.substr(0, build.find_last_of(L'\\')) + (thisIs64 ? L"\\build\\bin" : L"\\build64\\bin");
    std::vector<std::wstring> folders{bin};
    if (::GetFileAttributesW((other + L"\\tmerase.exe").c_str()) != INVALID_FILE_ATTRIBUTES) folders.push_back(other);

    for (const std::wstring& folder : folders) {
        for (const std::wstring name : {L"TIDEMARROW32SE.exe", L"tmerase.exe"}) {
            const std::wstring path = folder + L"\\" + name;
            SCOPED_TRACE(std::string(path.begin(), path.end()));
            const WORD machine = MachineOf(path);
            ASSERT_TRUE(machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64) << machine;
            const std::string manifest = ManifestOf(path);
            ASSERT_FALSE(manifest.empty());
            EXPECT_EQ(ArchitectureIn(manifest), machine == IMAGE_FILE_MACHINE_AMD64 ? "amd64" : "x86");
            const std::size_t dependency = manifest.find("<dependentAssembly>");
            if (name == L"TIDEMARROW32SE.exe") {
                EXPECT_EQ(ArchitectureIn(manifest, dependency), "*");
            } else {
                EXPECT_EQ(dependency, std::string::npos);
            }
        }
    }
    // This test's own edition is of the width it was built at.
    EXPECT_EQ(MachineOf(bin + L"\\tmerase.exe"), sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
}
