#pragma once

#include "number_format.h"

// The thousands and decimal separators of the user's regional settings, read from the host now.
NumberSeparators ReadHostSeparators();
