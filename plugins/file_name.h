// File-name operations of the platform: a file name split into its base name and its
// extension. Names are byte strings; nothing is converted or validated.
//
// The extension is what follows the last '.' of the name. Rules:
//   "album.qva"  -> extension "qva", name without extension "album"
//   "a.b.qva"    -> "qva" / "a.b"          (only the last dot counts)
//   "name."      -> ""    / "name"         (an empty extension; its dot goes)
//   "README"     -> ""    / "README"       (no dot: no extension, the whole name)
//   ".qva"       -> ""    / ".qva"         (a leading dot marks a hidden file, not an
//   ".hidden"    -> ""    / ".hidden"       extension: no extension, the whole name)
//   ".hidden.qva"-> "qva" / ".hidden"
//   "..", "/"    -> ""    / the whole name (names of only dots, and the root folder)
// For every name, NameWithoutExtensionMBS + ("." + extension when the name has a
// non-leading dot) gives the name back.
#pragma once

#include <string>

#include "framework/base/folder_item.h"

namespace plugins {

/// The extension of the item's name, without the dot; "" when there is none.
std::string NameExtensionMBS(const fw::FolderItem& item);

/// The item's name without its extension and the dot before it.
std::string NameWithoutExtensionMBS(const fw::FolderItem& item);

}  // namespace plugins
