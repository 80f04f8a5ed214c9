#include "tests/support/Tmerase.h"

#include <thread>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"

namespace {

std::string Drain(HANDLE pipe) {
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

}  // namespace

// Runs tmerase.exe (beside this test) with the arguments, its output going to pipes.
TmeraseOutcome RunTmerase(const std::wstring& arguments, const std::wstring& program) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    ::CreatePipe(&outRead, &outWrite, &inherit, 0);
    ::CreatePipe(&errRead, &errWrite, &inherit, 0);
    UniqueKernelHandle outReader(outRead), errReader(errRead);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring commandLine =
        L"\"" + (program.empty() ? ProgramFolder() + L"tmerase.exe" : program) + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                          nullptr, nullptr, &startup, &process);
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    TmeraseOutcome outcome;
    if (!started) return outcome;
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    std::thread errThread([&] { outcome.err = Drain(errRead); });
    outcome.out = Drain(outRead);
    errThread.join();
    ::WaitForSingleObject(process.hProcess, 60000);
    ::GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    return outcome;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::string ErasedLine(const std::wstring& name) {
    return EncodeCp932(L"ファイル名:" + name + L"をディスクから抹消しました。") + "\r\n";
}
std::string FailedLine(const std::wstring& name) {
    return EncodeCp932(L"ファイル名:" + name + L"を正しく処理出来ませんでした。") + "\r\n";
}

