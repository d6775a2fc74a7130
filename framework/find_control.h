// Looking a control up in a window by name, typed as its class.
#pragma once

#include <memory>
#include <string>

#include "framework/base/exceptions.h"
#include "framework/cast.h"
#include "framework/window.h"

namespace fw {

/// The control registered in `window` under `name`, cast to `C`. Throws
/// NilObjectException for a null window and IllegalCastException when the control is not
/// a `C`; a name never registered gives nullptr.
template <class C>
std::shared_ptr<C> FindControl(const Window* window, const std::string& name) {
  if (window == nullptr) throw NilObjectException();
  return Cast<C>(window->LookUpControl(name));
}

}  // namespace fw
