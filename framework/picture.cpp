#include "framework/picture.h"

#include <QString>

namespace fw {

namespace {

PicturePtr LoadFromResources(const std::string& name) {
  QPixmap pixmap(QStringLiteral(":/") + QString::fromStdString(name) + QStringLiteral(".png"));
  if (pixmap.isNull()) return nullptr;
  return std::make_shared<Picture>(std::move(pixmap));
}

Picture::Loader& CurrentLoader() {
  static Picture::Loader loader = LoadFromResources;
  return loader;
}

}  // namespace

PicturePtr Picture::Load(const std::string& name) { return CurrentLoader()(name); }

Picture::Loader Picture::SetLoader(Loader loader) {
  Loader previous = std::move(CurrentLoader());
  CurrentLoader() = loader ? std::move(loader) : Loader(LoadFromResources);
  return previous;
}

}  // namespace fw
