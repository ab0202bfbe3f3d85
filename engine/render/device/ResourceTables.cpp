#include "engine/render/device/ResourceTables.h"

#include <cstdio>

#include "platform/fs/FileSystem.h"
#include "platform/gpu/Device.h"
#include "platform/thread/Thread.h"

namespace vd {
namespace gfx {

namespace {
template <typename T>
void SafeRelease(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}
}  // namespace

CTexture::~CTexture() { Release(); }

void CTexture::Load(const CStringHash& textureName, const char* filePath, uint32_t kind) {
  Release();
  name = textureName;
  name.MakeOwned();
  type = kind;
  path = filePath ? filePath : "";
  uint64_t size = 0;
  // A folder, a device or a file past the size limit is refused like a missing one
  // (the loader logs the texture it could not read).
  if (FILE* file = plat::fs::OpenData(path, &size)) {
    // OpenData bounds the size far below 4 GiB, so it fits fileSize.
    if (size > 0) {
      fileData = new uint8_t[static_cast<size_t>(size)];
      fileSize = static_cast<uint32_t>(size);
      if (std::fread(fileData, 1, fileSize, file) != fileSize) FreeFileData();
    }
    std::fclose(file);
  }
  plat::Yield();
}

void CTexture::FreeFileData() {
  delete[] fileData;
  fileData = nullptr;
  fileSize = 0;
}

void CTexture::Release() {
  name = CStringHash();
  type = kTexture2D;
  SafeRelease(texture2D);
  SafeRelease(volumeTexture);
  SafeRelease(cubeTexture);
  FreeFileData();
}

plat::gpu::BaseTexture* CTexture::GetDeviceTexture() const {
  switch (type) {
    case kTexture2D:
      return texture2D;
    case kTextureVolume:
      return volumeTexture;
    case kTextureCube:
      return cubeTexture;
    default:
      return nullptr;
  }
}

void SetMaterialTextureNames(SMaterial& record, int32_t id, const char* name0, const char* name1,
                             const char* name2, const char* name3) {
  record.id = id;
  record.names[0] = CStringHash();
  const char* names[4] = {name0, name1, name2, name3};
  for (int i = 0; i < 4; ++i) {
    if (!names[i] || !names[i][0]) continue;
    record.names[i] = CStringHash(names[i]);
    record.names[i].MakeOwned();
  }
}

}  // namespace gfx
}  // namespace vd
