#include "platform/fs/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace plat {
namespace fs {

namespace {

bool PathExists(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0;
}

// The directory's entries whose names equal `name` ignoring case, the exact one
// first: a tree may hold both "scripts" and "Scripts".
std::vector<std::string> FindCaseInsensitive(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) != 0) continue;
    if (name == e->d_name)
      found.insert(found.begin(), e->d_name);
    else
      found.push_back(e->d_name);
  }
  ::closedir(d);
  return found;
}

std::string Join(const std::string& dir, const std::string& part) {
  if (dir.empty()) return part;
  return dir == "/" ? "/" + part : dir + "/" + part;
}

// The first existing path that matches parts[i..] below `dir`, trying every case
// variant of each component; empty when none exists.
std::string ResolveFrom(const std::string& dir, const std::vector<std::string>& parts, size_t i) {
  if (i == parts.size()) return PathExists(dir.empty() ? "." : dir) ? dir : std::string();
  const std::string& part = parts[i];
  if (part == "." || part == "..") return ResolveFrom(Join(dir, part), parts, i + 1);
  for (const std::string& match : FindCaseInsensitive(dir, part)) {
    std::string resolved = ResolveFrom(Join(dir, match), parts, i + 1);
    if (!resolved.empty()) return resolved;
  }
  return std::string();
}

}  // namespace

std::string Resolve(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty() || PathExists(p)) return p;

  std::vector<std::string> parts;
  size_t pos = p[0] == '/' ? 1 : 0;
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    if (next > pos) parts.push_back(p.substr(pos, next - pos));
    pos = next + 1;
  }
  const std::string root = p[0] == '/' ? "/" : "";
  std::string resolved = ResolveFrom(root, parts, 0);
  if (!resolved.empty()) return resolved;
  // Nothing on disk answers to it: keep the part that exists, spelt as on disk, so
  // that an error about the rest names the real folders.
  std::string partial = root;
  size_t i = 0;
  for (; i < parts.size(); ++i) {
    std::vector<std::string> matches = FindCaseInsensitive(partial, parts[i]);
    if (matches.empty()) break;
    partial = Join(partial, matches.front());
  }
  for (; i < parts.size(); ++i) partial = Join(partial, parts[i]);
  return partial;
}

bool Exists(const std::string& path) { return PathExists(Resolve(path)); }

FILE* Open(const std::string& path, const char* mode) {
  return std::fopen(Resolve(path).c_str(), mode);
}

const char* Describe(FileStatus status) {
  switch (status) {
    case FileStatus::kOk:
      return "readable";
    case FileStatus::kMissing:
      return "missing";
    case FileStatus::kNotRegular:
      return "not a regular file";
    case FileStatus::kTooLarge:
      return "too large";
    case FileStatus::kUnreadable:
      return "unreadable";
  }
  return "unreadable";
}

FILE* OpenData(const std::string& path, uint64_t* size, FileStatus* status) {
  FileStatus ignored;
  FileStatus& result = status ? *status : ignored;
  if (size) *size = 0;
  // Not blocking: a FIFO would otherwise hold the open until a writer comes. The
  // checks look at what was opened, so the file cannot change kind in between.
  const int fd = ::open(Resolve(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result = errno == ENOENT || errno == ENOTDIR ? FileStatus::kMissing : FileStatus::kUnreadable;
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    result = FileStatus::kNotRegular;
    ::close(fd);
    return nullptr;
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxDataFileSize) {
    result = FileStatus::kTooLarge;
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  FILE* file = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? ::fdopen(fd, "rb")
                                                                             : nullptr;
  if (!file) {
    result = FileStatus::kUnreadable;
    ::close(fd);
    return nullptr;
  }
  if (size) *size = static_cast<uint64_t>(st.st_size);
  result = FileStatus::kOk;
  return file;
}

bool ReadFile(const std::string& path, std::vector<char>& out, FileStatus* status) {
  out.clear();
  FileStatus ignored;
  FileStatus& result = status ? *status : ignored;
  uint64_t size = 0;
  FILE* f = OpenData(path, &size, &result);
  if (!f) return false;
  // The size bounds the read: a file that grows meanwhile is cut where it was.
  out.resize(static_cast<size_t>(size));
  const size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
  const bool ok = got == out.size() && !std::ferror(f);
  std::fclose(f);
  if (!ok) {
    out.clear();
    result = FileStatus::kUnreadable;
  }
  return ok;
}

bool ReadLines(const std::string& path, std::vector<std::string>& out, FileStatus* status) {
  out.clear();
  std::vector<char> data;
  if (!ReadFile(path, data, status)) return false;
  std::string line;
  for (char c : data) {
    if (c == '\n') {
      out.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line.push_back(c);
    }
  }
  if (!line.empty()) out.push_back(line);
  return true;
}

FileSource::FileSource(const std::string& path) { m_file = OpenData(path, &m_size, &m_status); }

FileSource::~FileSource() {
  if (m_file) std::fclose(m_file);
}

size_t FileSource::Read(void* buffer, size_t size) {
  if (!m_file || !buffer) return 0;
  return std::fread(buffer, 1, size, m_file);
}

}  // namespace fs
}  // namespace plat
