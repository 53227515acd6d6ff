#pragma once

#include <cstdint>
#include <string>

class Pass;

// Drive numbers run 1..26 for A: to Z:; 0 stands for the drive of the current directory.
using DriveNo = uint8_t;

// The upper-case letter of a drive number: the character with code number + 64. Callers pass
// 3..26.
char16_t DriveLetter(DriveNo number);

// The root text of a drive: its letter, ":" and "\" ("C:\"). Drive 0 has an empty root, which a
// volume source reads as the drive of the current directory.
std::u16string DriveRoot(DriveNo number);

// True when the drive's capacity query succeeds in the pass (a capacity of 0 bytes included).
// Either case of the letter works. Never waits on a drive that does not answer.
bool DriveExists(Pass &pass, char16_t letter);

// Whole GiB, the remainder dropped; the failure value -1 gives 0.
int64_t BytesToGB(int64_t bytes);
