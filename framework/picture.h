// Picture: an image from the application's resources, shared by whoever shows it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QPixmap>

namespace fw {

class Picture;
using PicturePtr = std::shared_ptr<Picture>;

class Picture {
 public:
  explicit Picture(QPixmap pixmap) : pixmap_(std::move(pixmap)) {}
  const QPixmap& Pixmap() const noexcept { return pixmap_; }
  int Width() const { return pixmap_.width(); }
  int Height() const { return pixmap_.height(); }

  /// Loads the picture called `name` from the application's resources (the Qt resource
  /// ":/name.png"); nullptr when there is none. Goes through the loader in force.
  static PicturePtr Load(const std::string& name);

  using Loader = std::function<PicturePtr(const std::string& name)>;
  /// Replaces the loader (nullptr: the resource loader again) and returns the previous
  /// one; a seam for tests that need a missing or counted picture.
  static Loader SetLoader(Loader loader);

 private:
  QPixmap pixmap_;  // never null
};

}  // namespace fw
