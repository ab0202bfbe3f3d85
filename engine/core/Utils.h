#pragma once
// Small shared services: text files for the XML parser, byte sources for binary
// loaders, conversions and angle helpers.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/fs/FileSystem.h"
#include "platform/math/Vector.h"

namespace vd {
namespace utl {

// Appends the file's lines without their line breaks; a missing or unreadable file
// leaves the output as it was.
void ReadTextFile(const char* fileName, std::string& output);

float StringToFloat(const char* text);

// The whole text as a number that fits where it is kept: a finite float (1e39 is a
// finite double but an infinite float) or a 32-bit integer. False leaves `value` as it
// was, for a null or empty text, trailing characters or a value out of range.
bool ParseFloat(const char* text, float& value);
bool ParseInt32(const char* text, int32_t& value);

// A byte source for the loaders of binary data files.
class CDataProvider {
public:
  virtual ~CDataProvider() = default;
  virtual unsigned Read(void* buffer, unsigned size) = 0;
};

class CFileDataProvider : public CDataProvider {
public:
  // Takes the file, opened "rb" by the creator; null is allowed and reads nothing.
  explicit CFileDataProvider(FILE* file) : m_file(file) {}
  // Opens a data path ('\' or '/', any letter case) when it is a regular file of a
  // sane size (plat::fs::OpenData); IsOpen() tells whether it opened, Status() why not.
  explicit CFileDataProvider(const char* path);
  ~CFileDataProvider() override;
  CFileDataProvider(const CFileDataProvider&) = delete;
  CFileDataProvider& operator=(const CFileDataProvider&) = delete;

  unsigned Read(void* buffer, unsigned size) override;
  bool IsOpen() const { return m_file != nullptr; }
  plat::fs::FileStatus Status() const { return m_status; }

private:
  FILE* m_file;
  plat::fs::FileStatus m_status = plat::fs::FileStatus::kMissing;
};

constexpr float kPi = 3.14159265358979323846f;
constexpr float kTwoPi = 2.0f * kPi;

plat::Vec3 YawToDirection(float yaw);
plat::Vec3 YawPitchToDirection(float yaw, float pitch);
void DirectionToYawPitch(const plat::Vec3& direction, float& yaw, float& pitch);
// The signed shortest turn from `from` to `to`.
float AngleDifference(float from, float to);
void RotateXZ(float angle, float& x, float& z);

}  // namespace utl
}  // namespace vd
