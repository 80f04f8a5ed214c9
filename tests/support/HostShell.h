#pragma once

#include <functional>
#include <string>

// The Unix name of a path of this prefix ("/tmp/..."), empty when Wine does not say; the
// test's names are ASCII.
std::string UnixNameOf(const std::wstring& path);

// Runs a command of the host's shell (as the test's Unix user: renames and links that no
// Windows call makes); the host process's end is not seen through its handle, so the caller
// names the condition that shows it is done. False when it could not start or `done` did not
// hold within ten seconds.
bool RunHostShell(const std::string& command, const std::function<bool()>& done);
