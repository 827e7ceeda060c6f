// The program's CP932 conversion lives in the cp932 library (cp932/), which
// the mail library links too; this header keeps the program's include.
#pragma once

#include "cp932/cp932.h"
