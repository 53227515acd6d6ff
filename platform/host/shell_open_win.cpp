#include "shell_open.h"

#include <windows.h>

#include <shellapi.h>

namespace {

// The process's main window: the first visible top-level window of this process.
HWND mainWindow()
{
    struct Search
    {
        DWORD process = GetCurrentProcessId();
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto *search = reinterpret_cast<Search *>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != search->process || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
                return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

bool OpenWithShell(const std::u16string &link)
{
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        mainWindow(), nullptr, reinterpret_cast<LPCWSTR>(link.c_str()), nullptr, nullptr, SW_SHOW));
    return result > 32;
}
