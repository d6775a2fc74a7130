// Casting a shared object to a class it is expected to be.
#pragma once

#include <memory>

#include "framework/base/exceptions.h"

namespace fw {

/// The same object typed as `T`; nullptr for nullptr. Throws IllegalCastException when
/// the object is not a `T`.
template <class T, class U>
std::shared_ptr<T> Cast(const std::shared_ptr<U>& object) {
  if (!object) return nullptr;
  std::shared_ptr<T> result = std::dynamic_pointer_cast<T>(object);
  if (!result) throw IllegalCastException();
  return result;
}

}  // namespace fw
