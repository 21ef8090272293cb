/* Resource identifiers shared by dunmere.rc and the window code. */
#pragma once

#define DUNMERE_ICON 1
