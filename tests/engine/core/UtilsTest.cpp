#include "engine/core/Utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

#include "engine/core/Locks.h"
#include "engine/core/XmlFile.h"

namespace {

using namespace vd::utl;

std::string TempFile(const std::string& content) {
  char path[] = "/tmp/hm_utils_XXXXXX";
  int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  close(fd);
  return path;
}

TEST(ReadTextFile, JoinsLinesWithoutBreaksAndAppends) {
  std::string path = TempFile("a\r\nb\nc\n");
  std::string out = ">";
  ReadTextFile(path.c_str(), out);
  EXPECT_EQ(out, ">abc");
  std::string missing = "kept";
  ReadTextFile("/tmp/hm_no_such_file_here", missing);
  EXPECT_EQ(missing, "kept");
  std::remove(path.c_str());
}

TEST(XmlFile, TellsMissingFromMalformedAndKeepsTheTextsAlive) {
  CXmlFile file;
  EXPECT_EQ(file.Load("/tmp/hm_no_such_file_here"), CXmlFile::EResult::Missing);
  std::string empty = TempFile("");
  EXPECT_EQ(file.Load(empty.c_str()), CXmlFile::EResult::Missing);
  std::string broken = TempFile("<a><b></a>");
  EXPECT_EQ(file.Load(broken.c_str()), CXmlFile::EResult::Malformed);
  EXPECT_FALSE(file.Error().empty());
  std::string good = TempFile("<config>\n  <key name=\"sound\" value=\"1\"/>\n</config>\n");
  ASSERT_EQ(file.Load(good.c_str()), CXmlFile::EResult::Ok);
  rapidxml::xml_node<>* key = file.Document().first_node("config")->first_node("key");
  ASSERT_NE(key, nullptr);
  EXPECT_STREQ(key->first_attribute("value")->value(), "1");
  for (const std::string& p : {empty, broken, good}) std::remove(p.c_str());
}

TEST(FileDataProvider, ReadsBytesAndToleratesAbsence) {
  std::string path = TempFile("\x01\x02\x03");
  CFileDataProvider provider(path.c_str());
  unsigned char buf[8] = {};
  EXPECT_EQ(provider.Read(buf, 8), 3u);
  EXPECT_EQ(buf[2], 3);
  CFileDataProvider absent("/tmp/hm_no_such_file_here");
  EXPECT_FALSE(absent.IsOpen());
  EXPECT_EQ(absent.Read(buf, 8), 0u);
  std::remove(path.c_str());
}

TEST(AngleHelpers, Table) {
  EXPECT_NEAR(AngleDifference(0.1f, 6.2f), -0.1831853f, 1e-5f);
  EXPECT_FLOAT_EQ(AngleDifference(0.0f, kPi), kPi);  // only values above pi wrap
  EXPECT_NEAR(AngleDifference(6.2f, 0.1f), 0.1831853f, 1e-5f);
  EXPECT_FLOAT_EQ(AngleDifference(1.0f, 1.5f), 0.5f);

  plat::Vec3 d = YawToDirection(kPi / 2);
  EXPECT_NEAR(d.x, 1.0f, 1e-6f);
  EXPECT_NEAR(d.z, 0.0f, 1e-6f);
  plat::Vec3 up = YawPitchToDirection(0.3f, kPi / 2);
  EXPECT_NEAR(up.y, 1.0f, 1e-6f);

  float yaw = 0, pitch = 0;
  DirectionToYawPitch(YawPitchToDirection(-2.0f, 0.4f), yaw, pitch);
  EXPECT_NEAR(yaw, -2.0f, 1e-5f);
  EXPECT_NEAR(pitch, 0.4f, 1e-5f);

  float x = 1.0f, z = 0.0f;
  RotateXZ(kPi / 2, x, z);
  EXPECT_NEAR(x, 0.0f, 1e-6f);
  EXPECT_NEAR(z, 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(StringToFloat("2.5"), 2.5f);
  EXPECT_FLOAT_EQ(StringToFloat("junk"), 0.0f);
}

TEST(CheckedNumbers, TakeOnlyWholeTextsThatFitWhereTheyAreKept) {
  struct Case {
    const char* text;
    bool isFloat, isInt;
    float f;
    int32_t i;
  };
  const Case cases[] = {
      {"1.5", true, false, 1.5f, 0},
      {"-7", true, true, -7.0f, -7},
      {"2147483647", true, true, 2147483647.0f, 2147483647},
      {"2147483648", true, false, 2147483648.0f, 0},
      {"-2147483649", true, false, -2147483649.0f, 0},
      {"1e39", false, false, 0, 0},  // finite as a double, infinite as a float
      {"-4e38", false, false, 0, 0},
      {"inf", false, false, 0, 0},
      {"nan", false, false, 0, 0},
      {"12abc", false, false, 0, 0},
      {"", false, false, 0, 0},
      {nullptr, false, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    float f = 42.0f;
    int32_t i = 42;
    EXPECT_EQ(ParseFloat(c.text, f), c.isFloat);
    EXPECT_EQ(f, c.isFloat ? c.f : 42.0f);  // a refused text leaves the value alone
    EXPECT_EQ(ParseInt32(c.text, i), c.isInt);
    EXPECT_EQ(i, c.isInt ? c.i : 42);
  }
}

TEST(Locks, LockOnlyWhileInitialisedAndScopedLocksLeaveWhatTheyEntered) {
  vd::sys::CLockSet locks;
  vd::sys::SetAppLocks(&locks);
  EXPECT_FALSE(locks.Lock(vd::sys::kLockLua));  // not created: runs unlocked
  locks.Create(vd::sys::kLockLua);
  {
    vd::sys::CScopedLock lock(vd::sys::kLockLua);
    // The flag goes away while held: the scope still leaves the section.
    locks.Delete(vd::sys::kLockLua);
  }
  locks.Create(vd::sys::kLockLua);
  bool other = false;
  std::thread([&] {
    other = locks.Lock(vd::sys::kLockLua);
    locks.Unlock(vd::sys::kLockLua);
  }).join();
  EXPECT_TRUE(other);  // nothing stayed held
  vd::sys::SetAppLocks(nullptr);
}

}  // namespace
