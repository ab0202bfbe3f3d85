// Images (DDS, PNG) from memory, as the texture loader hands them to the decoder.
#include <string>

#include "fuzz/FuzzInput.h"
#include "platform/image/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::image::Image image;
  std::string error;
  plat::image::Decode(data, size, image, error);
  return 0;
}
