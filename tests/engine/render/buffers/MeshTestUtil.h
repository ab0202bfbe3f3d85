#pragma once
// Builds mesh files in memory for the loader tests.
#include <cstring>
#include <vector>

#include "engine/core/Utils.h"
#include "engine/render/buffers/MeshFile.h"

namespace meshtest {

class MemorySource : public vd::utl::CDataProvider {
public:
  explicit MemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  unsigned Read(void* buffer, unsigned size) override {
    const size_t left = m_bytes.size() - m_pos;
    const size_t n = size < left ? size : left;
    if (n) std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    return static_cast<unsigned>(n);
  }
  size_t Position() const { return m_pos; }

private:
  std::vector<uint8_t> m_bytes;
  size_t m_pos = 0;
};

template <typename T>
void Append(std::vector<uint8_t>& out, const T* data, size_t count) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + sizeof(T) * count);
}

// A header and the body bytes that follow it.
struct MeshBytes {
  vd::gfx::SMeshHeader header;
  std::vector<uint8_t> body;
};

template <typename V>
MeshBytes MakeMesh(const std::vector<V>& vertices, const std::vector<uint16_t>& indices,
                   const std::vector<vd::gfx::SSubset>& subsets, bool indexed = true,
                   uint32_t primitiveKind = vd::gfx::kMeshPrimitiveKindList) {
  MeshBytes m;
  m.header.SetVertexCount(static_cast<uint32_t>(vertices.size()));
  m.header.SetIndexCount(static_cast<uint16_t>(indices.size()));
  m.header.SetSubsetCount(static_cast<int32_t>(subsets.size()));
  m.header.SetPrimitiveKind(primitiveKind);
  m.header.SetVertexType(V::kType);
  m.header.SetIndexed(indexed ? 1 : 0);
  Append(m.body, vertices.data(), vertices.size());
  if (indexed) Append(m.body, indices.data(), indices.size());
  Append(m.body, subsets.data(), subsets.size());
  return m;
}

}  // namespace meshtest

#include <mutex>
#include <string>

#include "engine/core/Log.h"

namespace meshtest {

// Collects engine log lines while it lives.
class LogCapture {
public:
  LogCapture() {
    m_holder.AddSink(new Sink(this));
    m_previous = vd::utl::GetLogSinks();
    vd::utl::SetLogSinks(&m_holder);
  }
  ~LogCapture() { vd::utl::SetLogSinks(m_previous); }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
  }
  std::string All() {
    std::string s;
    for (const std::string& l : Lines()) s += l;
    return s;
  }
  bool Contains(const std::string& text) { return All().find(text) != std::string::npos; }

private:
  struct Sink : vd::utl::ILogSink {
    explicit Sink(LogCapture* o) : owner(o) {}
    void WriteScript(const char*) override {}
    void WriteEngine(const char* text) override {
      std::lock_guard<std::mutex> lock(owner->m_mutex);
      owner->m_lines.push_back(text);
    }
    LogCapture* owner;
  };
  vd::utl::CLogSinkHolder m_holder;
  vd::utl::CLogSinkHolder* m_previous = nullptr;
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

}  // namespace meshtest
