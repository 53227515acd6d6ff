#include "number_separators.h"

bool SettingsChanged(std::u16string_view area)
{
    if (!area.empty() && area != u"intl")
        return false;
    SetNumberSeparators(ReadHostSeparators());
    return true;
}
