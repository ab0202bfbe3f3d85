#pragma once
// Data paths as the game writes them: '\' or '/' separators, any letter case.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plat {
namespace fs {

// Turns '\' into '/' and resolves each component case-insensitively against the
// disk. A path that matches nothing is returned with its separators normalised.
std::string Resolve(const std::string& path);

bool Exists(const std::string& path);

// The largest data file the game reads: far above any file under Data/, far below
// what a path naming a folder or a device would make a loader allocate.
constexpr uint64_t kMaxDataFileSize = uint64_t{512} << 20;

// Why a data file was not read.
enum class FileStatus { kOk, kMissing, kNotRegular, kTooLarge, kUnreadable };
// "missing", "not a regular file", ... for a log line.
const char* Describe(FileStatus status);

// Opens a data file for reading, only when it is a regular file of at most
// kMaxDataFileSize bytes; its size goes to `size`. Null otherwise, with the reason
// in `status` (when given). Every whole-file read goes through here.
FILE* OpenData(const std::string& path, uint64_t* size, FileStatus* status = nullptr);

// Whole file, through OpenData; false (and an empty result) when it is missing, not
// a regular file, too large or unreadable (the reason in `status`, when given).
bool ReadFile(const std::string& path, std::vector<char>& out, FileStatus* status = nullptr);
// The file's lines without their line breaks ('\r' stripped); false when ReadFile
// refuses it.
bool ReadLines(const std::string& path, std::vector<std::string>& out,
               FileStatus* status = nullptr);
// fopen over the resolved path; null when missing.
FILE* Open(const std::string& path, const char* mode);

// A byte source over a data file for binary loaders, opened through OpenData.
class FileSource {
public:
  explicit FileSource(const std::string& path);
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool IsOpen() const { return m_file != nullptr; }
  size_t Read(void* buffer, size_t size);
  uint64_t Size() const { return m_size; }
  FileStatus Status() const { return m_status; }

private:
  FILE* m_file = nullptr;
  uint64_t m_size = 0;
  FileStatus m_status = FileStatus::kMissing;
};

}  // namespace fs
}  // namespace plat
