// Prints what Windows reports for each drive letter C: to Z: that answers, one line each:
//   <letter> <total bytes> <bytes free to the caller>
// so that a check can hold the drive windows' figures against Windows' own answer.
#include <windows.h>

#include <cstdio>

int main()
{
    SetErrorMode(SEM_FAILCRITICALERRORS);
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        ULARGE_INTEGER free{};
        ULARGE_INTEGER total{};
        if (GetDiskFreeSpaceExW(root, &free, &total, nullptr))
            std::printf("%c %llu %llu\n", static_cast<char>(letter), total.QuadPart, free.QuadPart);
    }
    return 0;
}
