// Quelvano.ini beside the DLL, section [bank001].
#pragma once

#include "bank001/core/http.h"

namespace bank001 {

// The values as written; a missing file or key leaves them empty.
IniValues ReadIni();

}  // namespace bank001
