#include "shell/file_types.h"

namespace FileTypes {

namespace {

fw::FileTypePtr pQuorvantaalbum;            // none until _Initialize, then the album type for good
std::vector<fw::FileTypePtr> pAllFileTypes;  // the set's types, in the order built

}  // namespace

void _InitModule() {
  pQuorvantaalbum = nullptr;
  pAllFileTypes.clear();
}

void _Initialize() {
  pQuorvantaalbum = std::make_shared<fw::FileType>();
  pQuorvantaalbum->SetName("quorvanta/album");
  pQuorvantaalbum->SetExtensions(".qva");
  pQuorvantaalbum->SetMacType("QRVA");
  pQuorvantaalbum->SetMacCreator("");
  pQuorvantaalbum->SetMimeType("");
  pQuorvantaalbum->SetImported(true);
  pQuorvantaalbum->SetConformsTo(", public.data");
  pAllFileTypes.push_back(pQuorvantaalbum);
  Quorvantaalbum()->Operator_Convert();
}

fw::FileTypePtr Quorvantaalbum() { return pQuorvantaalbum; }

const std::vector<fw::FileTypePtr>& AllFileTypes() { return pAllFileTypes; }

}  // namespace FileTypes
