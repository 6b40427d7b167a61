#pragma once

// Resources of ombrix-merger.exe, shared by its resource script and its code.

#define OMBRIX_ICON 1
#define OMBRIX_LOGO 101
