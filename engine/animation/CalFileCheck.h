#pragma once
// Checks an XML skeleton, mesh or animation file before the animation library
// reads it. The library's XML readers trust the files: a missing attribute or
// value crashes them, and counts and indexes are used unchecked. Files in the
// library's compact formats are left to the library.
#include <string>

namespace vd {
namespace anm {

enum class ECalFileKind { kSkeleton, kMesh, kAnimation };

// True for a name ending in "xsf", "xmf" or "xaf" (any letter case).
bool IsCalXmlFile(const std::string& path);

// True when the file can be handed to the library. boneCount bounds the bone
// indexes of meshes and animations. On false, error tells what is wrong.
bool CheckCalXmlFile(const std::string& path, ECalFileKind kind, int boneCount, std::string& error);
// The same over a file's text.
bool CheckCalXmlText(std::string text, ECalFileKind kind, int boneCount, std::string& error);

}  // namespace anm
}  // namespace vd
