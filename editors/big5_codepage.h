#pragma once
// Big5 text through the system's own conversion tables: Windows' code page 950. A Windows
// build takes its Big5 from here, as the Qt libraries for Windows convert Big5 only when they
// were built with ICU. Code page 950 is Big5 with Microsoft's additions (the euro sign at
// A3E1, the ETEN extensions from F9D6).

#include "editors/config_values.h"

#ifdef _WIN32
// Encoding fails for a character without a Big5 code; decoding turns a byte sequence that is
// no Big5 into U+FFFD.
const TTextCodec& CodePage950Codec();
#endif
