#pragma once
// Data paths as the game writes them: '\' or '/' separators, any letter case.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace plat {
namespace fs {

// Turns '\' into '/' and resolves each component case-insensitively against the
// disk. A path that matches nothing is returned with its separators normalised.
std::string Resolve(const std::string& path);

bool Exists(const std::string& path);
// Whole file; false (and an empty result) when it is missing or unreadable.
bool ReadFile(const std::string& path, std::vector<char>& out);
// The file's lines without their line breaks ('\r' stripped); false when missing.
bool ReadLines(const std::string& path, std::vector<std::string>& out);
// fopen over the resolved path; null when missing.
FILE* Open(const std::string& path, const char* mode);

// A byte source over a file for binary loaders.
class FileSource {
public:
  explicit FileSource(const std::string& path);
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool IsOpen() const { return m_file != nullptr; }
  size_t Read(void* buffer, size_t size);
  long Size() const { return m_size; }

private:
  FILE* m_file = nullptr;
  long m_size = 0;
};

}  // namespace fs
}  // namespace plat
