#pragma once
// Hashed names: every name of the engine is compared and looked up by a 32-bit
// case-insensitive hash of its text.
#include <cstddef>
#include <cstdint>
#include <map>
#include <type_traits>

namespace vd {

namespace detail {
// Adds text[begin..end) to the running sums, one lower-cased signed byte at a time.
constexpr void AddBytes(const char* text, size_t begin, size_t end, uint32_t& s1, uint32_t& s2) {
  for (size_t i = begin; i < end; ++i) {
    int c = static_cast<signed char>(text[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    s1 += static_cast<uint32_t>(c);
    s2 += s1;
  }
}

// The same sums, sixteen bytes at a time: all arithmetic is modulo 2^32, so
// s2 += 16*s1 + sum((16-j)*c_j) gives exactly what the byte loop gives.
uint32_t ComputeHashFast(const char* text, size_t length);
}  // namespace detail

// Adler-32 over the lower-cased bytes, with both sums starting at 0. Each byte is
// taken as a signed char, so bytes of 0x80 and above add their negative value.
constexpr uint32_t ComputeHash(const char* text, size_t length) {
  if (!__builtin_is_constant_evaluated()) return detail::ComputeHashFast(text, length);
  constexpr size_t kBlock = 5552;
  constexpr uint32_t kMod = 65521;
  uint32_t s1 = 0, s2 = 0;
  size_t i = 0;
  while (i < length) {
    size_t end = length - i > kBlock ? i + kBlock : length;
    detail::AddBytes(text, i, end, s1, s2);
    i = end;
    s1 %= kMod;
    s2 %= kMod;
  }
  return (s2 << 16) + s1;
}

constexpr size_t ConstLength(const char* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

constexpr uint32_t ComputeHash(const char* text) {
  if (!text) return 0;
  if (!__builtin_is_constant_evaluated())
    return detail::ComputeHashFast(text, __builtin_strlen(text));
  return ComputeHash(text, ConstLength(text));
}

constexpr uint32_t kNoNameHash = 0xFFFFFFFFu;

class CStringHash {
public:
  constexpr CStringHash() = default;
  // Borrows the text: it must outlive this object.
  constexpr CStringHash(const char* text) {  // NOLINT: names convert from literals
    if (text && text[0]) {
      m_hash = ComputeHash(text);
      m_text = text;
    }
  }
  // A copy owns its text and keeps the source's hash.
  CStringHash(const CStringHash& other);
  // Borrows the source's text and keeps its hash, as assignment does: for records
  // built often (pooled events) that must not pay for a default set-up and a copy.
  enum EBorrow { kBorrow };
  CStringHash(const CStringHash& other, EBorrow)
      : m_hash(other.m_text ? other.m_hash : kNoNameHash), m_text(other.m_text) {}
  ~CStringHash() { Free(); }

  // Borrows the new text.
  CStringHash& operator=(const char* text);
  // Borrows the source's text. Inline with Free: every pooled event runs both.
  CStringHash& operator=(const CStringHash& other) {
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

  // Makes a borrowed text a heap copy that this object owns.
  void MakeOwned();

  uint32_t GetHash() const { return m_hash; }
  const char* GetText() const { return m_text; }
  bool OwnsText() const { return m_owns; }
  bool IsNoName() const { return m_hash == kNoNameHash && !m_text; }
  // The text, or "" for the no-name value; for messages.
  const char* c_str() const { return m_text ? m_text : ""; }

  bool operator==(const CStringHash& o) const { return m_hash == o.m_hash; }
  bool operator!=(const CStringHash& o) const { return m_hash != o.m_hash; }

private:
  void Free() {
    if (m_owns) delete[] m_text;
    m_owns = false;
  }

  uint32_t m_hash = kNoNameHash;
  const char* m_text = nullptr;
  bool m_owns = false;
};

namespace utl {

namespace detail {
template <class T, class = void>
struct HasReset : std::false_type {};
template <class T>
struct HasReset<T, std::void_t<decltype(std::declval<T&>().Reset())>> : std::true_type {};
}  // namespace detail

// The map of the managers' tables: the key is the hash only, so two texts with the
// same hash share one entry, and entries run in the order of their hashes as
// unsigned numbers (the order the lights are cut to the shaders' limits in). Values
// of types held with resetValues provide Reset().
template <class T>
class CStringHashMap {
public:
  using Map = std::map<uint32_t, T*>;

  CStringHashMap() = default;
  ~CStringHashMap() { RemoveAll(); }
  CStringHashMap(const CStringHashMap&) = delete;
  CStringHashMap& operator=(const CStringHashMap&) = delete;

  T* Find(const CStringHash& key) const {
    auto it = m_entries.find(Key(key));
    return it == m_entries.end() ? nullptr : it->second;
  }

  T* Find(uint32_t hash) const {
    auto it = m_entries.find(hash);
    return it == m_entries.end() ? nullptr : it->second;
  }

  // Use the returned pointer: when the key is present the offered value is deleted
  // if the table owns its values, and left to its owner otherwise.
  T* Add(const CStringHash& key, T* value) { return Add(key.GetHash(), value); }
  T* Add(uint32_t hash, T* value) {
    auto it = m_entries.find(hash);
    if (it != m_entries.end()) {
      if (ownsValues && value != it->second) delete value;
      return it->second;
    }
    m_entries.emplace(hash, value);
    ++m_count;
    return value;
  }

  // Takes the entry out without deleting its value; returns it (null when absent).
  T* Remove(const CStringHash& key) {
    auto it = m_entries.find(Key(key));
    if (it == m_entries.end()) return nullptr;
    T* value = it->second;
    m_entries.erase(it);
    --m_count;
    return value;
  }

  void RemoveAll() {
    if (ownsValues) {
      DeleteAll();
    } else {
      m_entries.clear();
    }
    m_count = 0;
    ownsValues = 1;
    resetValues = 0;
  }

  int Count() const { return m_count; }
  size_t Size() const { return m_entries.size(); }
  const Map& Entries() const { return m_entries; }
  typename Map::const_iterator begin() const { return m_entries.begin(); }
  typename Map::const_iterator end() const { return m_entries.end(); }

  uint8_t ownsValues = 1;
  uint8_t resetValues = 0;

private:
  static uint32_t Key(const CStringHash& k) { return k.GetHash(); }

  void DeleteAll() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
      T* value = it->second;
      if (value) {
        if constexpr (detail::HasReset<T>::value) {
          if (resetValues) value->Reset();
        }
        delete value;
        it->second = nullptr;
      }
      it = m_entries.erase(it);
    }
    m_count = 0;
  }

  Map m_entries;
  int m_count = 0;
};

}  // namespace utl
}  // namespace vd
