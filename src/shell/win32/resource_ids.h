#pragma once

// Resource numbers shared by the resource script and the code. Plain macros: the resource
// compiler reads this file too.
#define STROVANIK_ICON 1
#define STROVANIK_MANIFEST 1
