// The tool's icon, the picture "v2022_Icon_repair" of the application's resources.
#pragma once

#include "framework/picture.h"

/// The icon, loaded on first use and shared by every window for the rest of the process.
/// While the loader yields no picture, each call tries again and returns nullptr.
fw::PicturePtr v2022_Icon_repair();
