#include "platform/fs/FileSystem.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace plat {
namespace fs {

namespace {

bool PathExists(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0;
}

// The directory entry whose name equals `name` ignoring case, or empty.
std::string FindCaseInsensitive(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::string();
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

}  // namespace

std::string Resolve(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty() || PathExists(p)) return p;

  std::string result;
  size_t pos = 0;
  if (p[0] == '/') {
    result = "/";
    pos = 1;
  }
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string part = p.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty()) continue;
    std::string dir = result;
    std::string candidate = dir.empty() ? part : (dir == "/" ? "/" + part : dir + "/" + part);
    if (part != "." && part != ".." && !PathExists(candidate)) {
      std::string match = FindCaseInsensitive(dir == "" ? "." : dir, part);
      if (match.empty()) return p;  // nothing on disk answers to it
      candidate = dir.empty() ? match : (dir == "/" ? "/" + match : dir + "/" + match);
    }
    result = candidate;
  }
  return result;
}

bool Exists(const std::string& path) { return PathExists(Resolve(path)); }

FILE* Open(const std::string& path, const char* mode) {
  return std::fopen(Resolve(path).c_str(), mode);
}

bool ReadFile(const std::string& path, std::vector<char>& out) {
  out.clear();
  FILE* f = Open(path, "rb");
  if (!f) return false;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

bool ReadLines(const std::string& path, std::vector<std::string>& out) {
  out.clear();
  std::vector<char> data;
  if (!ReadFile(path, data)) return false;
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

FileSource::FileSource(const std::string& path) {
  m_file = Open(path, "rb");
  if (m_file) {
    if (std::fseek(m_file, 0, SEEK_END) == 0) m_size = std::ftell(m_file);
    std::fseek(m_file, 0, SEEK_SET);
  }
}

FileSource::~FileSource() {
  if (m_file) std::fclose(m_file);
}

size_t FileSource::Read(void* buffer, size_t size) {
  if (!m_file || !buffer) return 0;
  return std::fread(buffer, 1, size, m_file);
}

}  // namespace fs
}  // namespace plat
