#include "engine/core/Utils.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "engine/core/Log.h"
#include "platform/fs/FileSystem.h"

namespace vd {
namespace utl {

void ReadTextFile(const char* fileName, std::string& output) {
  if (!fileName) return;
  std::vector<std::string> lines;
  plat::fs::FileStatus status;
  if (!plat::fs::ReadLines(fileName, lines, &status)) {
    // A missing file is the callers' to report (many are optional).
    if (status != plat::fs::FileStatus::kMissing)
      LogPrintf("%s: %s, not read\n", fileName, plat::fs::Describe(status));
    return;
  }
  for (const std::string& line : lines) output += line;
}

float StringToFloat(const char* text) { return text ? static_cast<float>(std::atof(text)) : 0.0f; }

bool ParseFloat(const char* text, float& value) {
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  const double number = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(number) ||
      std::fabs(number) > std::numeric_limits<float>::max())
    return false;
  value = static_cast<float>(number);
  return true;
}

bool ParseInt32(const char* text, int32_t& value) {
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE ||
      number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(number);
  return true;
}

CFileDataProvider::CFileDataProvider(const char* path)
    : m_file(path ? plat::fs::OpenData(path, nullptr, &m_status) : nullptr) {}

CFileDataProvider::~CFileDataProvider() {
  if (m_file) std::fclose(m_file);
}

unsigned CFileDataProvider::Read(void* buffer, unsigned size) {
  if (!m_file || !buffer) return 0;
  return static_cast<unsigned>(std::fread(buffer, 1, size, m_file));
}

plat::Vec3 YawToDirection(float yaw) { return plat::Vec3(std::sin(yaw), 0.0f, std::cos(yaw)); }

plat::Vec3 YawPitchToDirection(float yaw, float pitch) {
  float cp = std::cos(pitch);
  return plat::Vec3(std::sin(yaw) * cp, std::sin(pitch), std::cos(yaw) * cp);
}

void DirectionToYawPitch(const plat::Vec3& d, float& yaw, float& pitch) {
  yaw = std::atan2(d.x, d.z);
  pitch = std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z));
}

float AngleDifference(float from, float to) {
  float d = std::fmod(to - from, kTwoPi);
  if (d > kPi) return d - kTwoPi;
  if (d < -kPi) return d + kTwoPi;
  return d;
}

void RotateXZ(float angle, float& x, float& z) {
  float c = std::cos(angle), s = std::sin(angle);
  float nx = x * c - z * s;
  float nz = x * s + z * c;
  x = nx;
  z = nz;
}

}  // namespace utl
}  // namespace vd
