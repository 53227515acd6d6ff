#pragma once

#include "number_format.h"

#include <string_view>

// The thousands and decimal separators of the user's regional settings, read from the host now.
NumberSeparators ReadHostSeparators();

// The host announced a change of its settings (on Windows the window procedure's
// WM_SETTINGCHANGE, with the area it names; on Linux a locale change): where it is the regional
// settings ("intl") or no area is named, the separators in force are read anew. Texts made
// before keep theirs. Returns whether they were read.
bool SettingsChanged(std::u16string_view area);
