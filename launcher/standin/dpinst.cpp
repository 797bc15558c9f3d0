// Stands in for the driver package installer in the launcher's tests: built
// as DPInst.exe and DPInst64.exe, it installs nothing. Each run appends one line,
// "<its own file name>\t<its working directory>\n" in UTF-8, to
// "dpinst-runs.txt" beside itself, so that a test sees which installer the
// launcher started and in which folder.

#include <windows.h>

#include <string>

namespace {

std::wstring ownPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring workingDirectory()
{
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(DWORD(directory.size()), &directory[0]));
    return directory;
}

std::string utf8(const std::wstring &text)
{
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()),
                                          nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0],
                        int(bytes.size()), nullptr, nullptr);
    return bytes;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring path = ownPath();
    const std::wstring::size_type folderEnd = path.rfind(L'\\') + 1;
    const std::wstring recordPath = path.substr(0, folderEnd) + L"dpinst-runs.txt";
    const std::string line = utf8(path.substr(folderEnd) + L'\t' + workingDirectory() + L"\n");

    const HANDLE record = CreateFileW(recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (record == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL complete = WriteFile(record, line.data(), DWORD(line.size()), &written, nullptr)
            && written == line.size();
    CloseHandle(record);
    return complete ? 0 : 1;
}
