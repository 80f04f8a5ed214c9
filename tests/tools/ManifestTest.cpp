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

std::wstring FolderOfThisProgram() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

// The machine field of a program's file header: IMAGE_FILE_MACHINE_I386 or _AMD64.
WORD MachineOf(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    IMAGE_DOS_HEADER dos{};
    file.read(reinterpret_cast<char*>(&dos), sizeof(dos));
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    file.seekg(dos.e_lfanew);
    file.read(reinterpret_cast<char*>(&signature), sizeof(signature));
    file.read(reinterpret_cast<char*>(&header), sizeof(header));
    return file && signature == IMAGE_NT_SIGNATURE ? header.Machine : 0;
}

// Resource RT_MANIFEST 1 of a program, read as data (the program may be of the other width).
std::string ManifestOf(const std::wstring& path) {
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return {};
    std::string text;
    if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        if (HGLOBAL loaded = ::LoadResource(module, found))
            text.assign(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

// The value of processorArchitecture in the first element that opens with `element`.
std::string ArchitectureIn(const std::string& manifest, const std::string& element, std::size_t from = 0) {
    const std::size_t at = manifest.find(element, from);
    if (at == std::string::npos) return "(no " + element + ")";
    const std::string key = "processorArchitecture=\"";
    const std::size_t value = manifest.find(key, at);
    if (value == std::string::npos || value > manifest.find('>', at)) return "(none)";
    const std::size_t start = value + key.size();
    return manifest.substr(start, manifest.find('"', start) - start);
}

}  // namespace

// Both editions' programs where they have been built: this one's always, the other's beside it.
TEST(Manifest, EachEditionNamesItsOwnArchitectureAndTheControlsDependencyTakesAny) {
    const std::wstring bin = FolderOfThisProgram();
    const std::wstring build = bin.substr(0, bin.find_last_of(L'\\'));
    const std::wstring top = build.substr(0, build.find_last_of(L'\\'));
    const bool thisIs64 = build.size() >= 2 && build.compare(build.size() - 2, 2, L"64") == 0;
    std::vector<std::wstring> folders{bin};
    const std::wstring other = top + (thisIs64 ? L"\\build\\bin" : L"\\build64\\bin");
    if (::GetFileAttributesW((other + L"\\TIDEMARROW32SE.exe").c_str()) != INVALID_FILE_ATTRIBUTES) folders.push_back(other);

    for (const std::wstring& folder : folders) {
        for (const wchar_t* name : {L"TIDEMARROW32SE.exe", L"tmerase.exe"}) {
            const std::wstring path = folder + L"\\" + name;
            SCOPED_TRACE(std::string(path.begin(), path.end()));
            const WORD machine = MachineOf(path);
            ASSERT_TRUE(machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64) << machine;
            const std::string manifest = ManifestOf(path);
            ASSERT_FALSE(manifest.empty());
            EXPECT_EQ(ArchitectureIn(manifest, "<assemblyIdentity"),
                      machine == IMAGE_FILE_MACHINE_AMD64 ? "amd64" : "x86");
            const std::size_t dependency = manifest.find("<dependentAssembly>");
            if (std::wstring(name) == L"TIDEMARROW32SE.exe") {
                ASSERT_NE(dependency, std::string::npos);
                EXPECT_EQ(ArchitectureIn(manifest, "<assemblyIdentity", dependency), "*");
            } else {
                EXPECT_EQ(dependency, std::string::npos);
            }
        }
    }
    // This test's own edition is the width it was built at.
    EXPECT_EQ(MachineOf(bin + L"\\tmerase.exe"), sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
}
