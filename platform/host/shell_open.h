#pragma once

#include <string>

// Hands a link to the program the Windows shell has registered for it (ShellExecuteW with the
// default action and SW_SHOW, owned by the program's main window). False when the shell reports
// failure, a result of 32 or less.
bool OpenWithShell(const std::u16string &link);
