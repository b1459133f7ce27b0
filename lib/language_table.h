// The built-in language table, matching a language table's rows against a language id,
// and the Windows 98/ME system language. Nothing here holds process state, so it can be
// used apart from the selection that language.cpp keeps.
#pragma once

#include <stdint.h>

#include "language.h"

// One row per language id, each ended by CR LF: the code padded to four columns, the id
// as four lower-case hexadecimal digits, the English name. Rows with an empty code
// column never match, so those languages fall back to the neutral row's code.
extern const char kBuiltInLanguageTable[];

// Reads the rows of text (zero-terminated) into selection: a row whose id equals
// neutralId sets neutralCode, one whose id equals systemId sets code; a later row
// overrides an earlier one. An empty code afterwards becomes neutralCode.
void MatchLanguageRows(LanguageSelection& selection, const char* text);

// The language id that Windows 98/ME keep as the default user's resource locale in the
// registry (hexadecimal text); 0 when it cannot be read.
int32_t ResourceLocaleLanguageId();
