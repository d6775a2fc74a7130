#include "shell/icon.h"

namespace {

fw::PicturePtr pic;       // the cached icon; empty until a load yields a picture
bool initialised = false;  // set by the first call, never cleared

}  // namespace

fw::PicturePtr v2022_Icon_repair() {
  if (!initialised) {
    initialised = true;
    pic = nullptr;
  }
  if (!pic) pic = fw::Picture::Load("v2022_Icon_repair");
  return pic;
}
