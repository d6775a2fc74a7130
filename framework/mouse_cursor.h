// Mouse cursors that the application can show over all its windows.
#pragma once

#include <memory>

#include <Qt>

namespace fw {

class MouseCursor {
 public:
  explicit MouseCursor(Qt::CursorShape shape) : shape_(shape) {}
  Qt::CursorShape Shape() const noexcept { return shape_; }

 private:
  Qt::CursorShape shape_;
};
using MouseCursorPtr = std::shared_ptr<MouseCursor>;

struct System {
  struct Cursors {
    /// The busy cursor.
    static MouseCursorPtr Wait();
  };
};

}  // namespace fw
