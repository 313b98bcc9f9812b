// Quelvano.ini beside the DLL, section [bank001], read once per call.
#pragma once

#include "bank001/core/settings.h"
#include "base/core/result.h"

namespace bank001 {

// The values as written (bank001/core/settings.h has the rules); a missing
// file leaves them empty. Fails with a sentence naming the key or the line.
pix::Result<IniValues> ReadIni();

}  // namespace bank001
