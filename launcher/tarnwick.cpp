// Tarnwick starts the driver package installer that fits the running
// Windows: DPInst64.exe on 64-bit Windows, DPInst.exe on 32-bit Windows. Both
// live in the launcher's own folder. The launcher reports nothing and always
// ends with exit code 0; a user who sees no installer window knows it failed.

#include <windows.h>

#include <direct.h>
#include <stdlib.h>

namespace {

using IsWow64ProcessFunction = BOOL(WINAPI *)(HANDLE, PBOOL);

// The installer is started by its bare name and runs in the current
// directory, so that directory must be the launcher's own folder whatever
// folder the launcher was started from.
void enterOwnFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH);

    wchar_t drive[_MAX_DRIVE];
    wchar_t directory[_MAX_DIR];
    wchar_t name[_MAX_FNAME];
    wchar_t extension[_MAX_EXT];
    _wsplitpath(path, drive, directory, name, extension);

    wchar_t folder[MAX_PATH];
    _wmakepath(folder, drive, directory, L"", L"");
    _wchdir(folder);
}

// A 32-bit process on 64-bit Windows runs under WOW64. Windows versions
// without IsWow64Process are all 32-bit, hence the run-time look-up.
bool runsUnderWow64()
{
    BOOL wow64 = FALSE;
    const FARPROC function = GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process");
    if (function) {
        // Through void (*)(), which converts to any function pointer type
        // without a warning.
        const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(
            reinterpret_cast<void (*)()>(function));
        isWow64Process(GetCurrentProcess(), &wow64);
    }
    return wow64 != FALSE;
}

} // namespace

int wmain(int, wchar_t *[])
{
    enterOwnFolder();
    WinExec(runsUnderWow64() ? "DPInst64.exe" : "DPInst.exe", SW_SHOWNORMAL);
    return 0;
}
