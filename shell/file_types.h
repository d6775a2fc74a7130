// FileTypes: the application's set of document types. It holds one type, the album: an
// SQLite database with the extension ".qva". Start-up builds it once, before the
// application object exists; windows name the album type as what may be dropped on them.
#pragma once

#include <vector>

#include "framework/file_type.h"

namespace FileTypes {

/// Module initialiser: the list of types starts empty and there is no album type yet.
void _InitModule();
/// Builds the set: makes the album type, fills it in, appends it to the list and takes
/// its string form once, which registers it. Called once, during start-up.
void _Initialize();
/// The album type, the same object every time; nullptr before _Initialize.
fw::FileTypePtr Quorvantaalbum();
/// Every type of the set, in the order built.
const std::vector<fw::FileTypePtr>& AllFileTypes();

}  // namespace FileTypes
