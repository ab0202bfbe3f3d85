#include "engine/core/StringHash.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vd {

namespace detail {

namespace {
constexpr size_t kBlock = 5552;  // a multiple of 16
constexpr uint32_t kMod = 65521;
}  // namespace

#if defined(__SSE2__)
namespace {

// Sixteen lower-cased signed bytes c_j: sum gets each c_j, weighted gets (16 - j) * c_j.
// Every lane adds modulo 2^32, as the byte loop does.
inline void AddChunk(__m128i v, __m128i& sum, __m128i& weighted) {
  const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                      _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
  v = _mm_add_epi8(v, _mm_and_si128(upper, _mm_set1_epi8('a' - 'A')));
  const __m128i lo = _mm_srai_epi16(_mm_unpacklo_epi8(v, v), 8);
  const __m128i hi = _mm_srai_epi16(_mm_unpackhi_epi8(v, v), 8);
  sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_add_epi16(lo, hi), _mm_set1_epi16(1)));
  weighted =
      _mm_add_epi32(weighted, _mm_madd_epi16(lo, _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9)));
  weighted = _mm_add_epi32(weighted, _mm_madd_epi16(hi, _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1)));
}

inline uint32_t LaneSum(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
}

inline uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Zeros for the bytes of a last chunk that an earlier chunk already counted.
alignas(16) constexpr unsigned char kTailMask[32] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

// Each chunk of sixteen bytes adds 16*s1 + weighted to s2 and its sum to s1; within a
// block the lanes keep the running s1 (sum) and the total of s1 before each chunk
// (prefix). A last chunk of t < 16 bytes sits right-aligned in a vector whose first
// 16 - t bytes are zero: its bytes get the weights t..1 and s2 gets t*s1.
uint32_t ComputeHashFast(const char* text, size_t length) {
  uint32_t s1 = 0, s2 = 0;
  size_t i = 0;
  for (;;) {
    const size_t left = length - i;
    const size_t chunks = (left > kBlock ? kBlock : left) / 16;
    if (chunks) {
      __m128i sum = _mm_setzero_si128(), weighted = _mm_setzero_si128();
      __m128i prefix = _mm_setzero_si128();
      for (size_t k = 0; k < chunks; ++k, i += 16) {
        prefix = _mm_add_epi32(prefix, sum);
        AddChunk(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), sum, weighted);
      }
      s2 += static_cast<uint32_t>(chunks * 16) * s1 + 16u * LaneSum(prefix) + LaneSum(weighted);
      s1 += LaneSum(sum);
    }
    if (left >= kBlock) {
      s1 %= kMod;
      s2 %= kMod;
      if (left == kBlock) break;
      continue;
    }
    const size_t tail = length - i;
    if (tail) {
      __m128i v;
      if (length >= 16) {
        v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + length - 16));
        v = _mm_and_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTailMask + tail)));
      } else if (tail >= 8) {
        const uint64_t lo = tail > 8 ? Load64(text) << (8 * (16 - tail)) : 0;
        v = _mm_set_epi64x(static_cast<long long>(Load64(text + tail - 8)),
                           static_cast<long long>(lo));
      } else {
        AddBytes(text, i, length, s1, s2);
        return ((s2 % kMod) << 16) + s1 % kMod;
      }
      __m128i sum = _mm_setzero_si128(), weighted = _mm_setzero_si128();
      AddChunk(v, sum, weighted);
      s2 += static_cast<uint32_t>(tail) * s1 + LaneSum(weighted);
      s1 += LaneSum(sum);
    }
    if (length) {
      s1 %= kMod;
      s2 %= kMod;
    }
    break;
  }
  return (s2 << 16) + s1;
}

#else

uint32_t ComputeHashFast(const char* text, size_t length) {
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

#endif

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

void CStringHash::MakeOwned() {
  if (m_owns || !m_text || !m_text[0]) return;
  m_text = CopyText(m_text);
  m_owns = true;
}

}  // namespace vd
