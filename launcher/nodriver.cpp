// Stands in the usbdrv folder for the driver package installer when a
// package carries no driver package: built as DPInst.exe and DPInst64.exe,
// it installs nothing and says so. The launcher starts it as it would start
// the installer, with no arguments, from its own folder.

#include <windows.h>

#include <string>

namespace {

std::wstring ownFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.rfind(L'\\'));
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring text =
        L"No driver package is included with this copy of ZORVEL Custom Config, so nothing was installed.\n\n"
        L"Windows 10 and later bind standard USB serial devices to their built-in driver, so the ZORVEL "
        L"Service Port may already work: plug the module in and start ZORVEL Custom Config.\n\n"
        L"If no ZORVEL Service Port is found, get the service-port driver package from the maker of the "
        L"ZORVEL module. Put its DPInst.exe, DPInst64.exe and driver files into this folder:\n\n"
        + ownFolder() + L"\n\nthen choose Install Service Port Driver again.";
    MessageBoxW(nullptr, text.c_str(), L"ZORVEL Custom Config", MB_OK | MB_ICONINFORMATION);
    return 0;
}
