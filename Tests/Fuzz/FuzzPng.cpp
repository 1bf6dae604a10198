// Fuzzes the picture loader: any bytes as a PNG file. It must refuse or decode, never crash,
// never read or write outside a buffer, and never give a picture outside the size limits.
#include <cstdlib>

#include "Engine/Platform/Decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PlatPixels pixels;
  bool ok = decode_png(data, size, &pixels);
  bool sane = ok ? pixels.width > 0 && pixels.height > 0 && pixels.width <= kMaxPictureSide &&
                       pixels.height <= kMaxPictureSide &&
                       pixels.rgba.size() == static_cast<size_t>(pixels.width) * pixels.height * 4
                 : pixels.rgba.empty();
  if (!sane) abort();
  return 0;
}
