#include "engine/core/StringHash.h"

#include <cstring>

namespace vd {

namespace detail {

uint32_t ComputeHashFast(const char* text, size_t length) {
  constexpr size_t kBlock = 5552;  // a multiple of 16
  constexpr uint32_t kMod = 65521;
  uint32_t s1 = 0, s2 = 0;
  size_t i = 0;
  while (i < length) {
    size_t end = length - i > kBlock ? i + kBlock : length;
    for (; i + 16 <= end; i += 16) {
      uint32_t sum = 0, weighted = 0;
      for (int j = 0; j < 16; ++j) {
        int32_t c = static_cast<signed char>(text[i + j]);
        c += ((static_cast<uint32_t>(c - 'A') < 26u) ? 32 : 0);
        sum += static_cast<uint32_t>(c);
        weighted += static_cast<uint32_t>(16 - j) * static_cast<uint32_t>(c);
      }
      s2 += 16u * s1 + weighted;
      s1 += sum;
    }
    AddBytes(text, i, end, s1, s2);
    i = end;
    s1 %= kMod;
    s2 %= kMod;
  }
  return (s2 << 16) + s1;
}

}  // namespace detail

namespace {
char* CopyText(const char* text) {
  size_t n = std::strlen(text);
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}
}  // namespace

CStringHash::CStringHash(const CStringHash& other) {
  if (other.m_text) {
    m_hash = other.m_hash;
    m_text = CopyText(other.m_text);
    m_owns = true;
  }
}

void CStringHash::Free() {
  if (m_owns) delete[] m_text;
  m_owns = false;
}

CStringHash& CStringHash::operator=(const char* text) {
  Free();
  m_hash = kNoNameHash;
  m_text = nullptr;
  if (text && text[0]) {
    m_hash = ComputeHash(text);
    m_text = text;
  }
  return *this;
}

CStringHash& CStringHash::operator=(const CStringHash& other) {
  if (this == &other) return *this;
  // A source that borrows our own text: keep it alive rather than free it under it.
  if (m_owns && other.m_text == m_text) return *this;
  Free();
  if (other.m_text) {
    m_hash = other.m_hash;
    m_text = other.m_text;
  } else {
    m_hash = kNoNameHash;
    m_text = nullptr;
  }
  return *this;
}

void CStringHash::MakeOwned() {
  if (m_owns || !m_text || !m_text[0]) return;
  m_text = CopyText(m_text);
  m_owns = true;
}

}  // namespace vd
