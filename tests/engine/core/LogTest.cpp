#include "engine/core/Log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RecordingSink : vd::utl::ILogSink {
  std::vector<std::string>* engine;
  std::vector<std::string>* script;
  RecordingSink(std::vector<std::string>* e, std::vector<std::string>* s) : engine(e), script(s) {}
  void WriteEngine(const char* text) override { engine->push_back(text); }
  void WriteScript(const char* text) override { script->push_back(text); }
};

class LogTest : public ::testing::Test {
protected:
  void SetUp() override { vd::utl::SetLogSinks(&holder); }
  void TearDown() override { vd::utl::SetLogSinks(nullptr); }
  vd::utl::CLogSinkHolder holder;
};

TEST_F(LogTest, DropsTextsShorterThanTwoCharacters) {
  std::vector<std::string> engine, script;
  holder.AddSink(new RecordingSink(&engine, &script));
  vd::utl::LogPrintf("%s", "");
  vd::utl::LogPrintf("x");
  vd::utl::LogPrintf("%d\n", 7);
  EXPECT_EQ(engine, (std::vector<std::string>{"7\n"}));
}

TEST_F(LogTest, ReachesOnlyEnabledSinksInOrder) {
  std::vector<std::string> e[3], s[3];
  for (int i = 0; i < 3; ++i) holder.AddSink(new RecordingSink(&e[i], &s[i]));
  holder.Sink(1)->enabled = 0;
  vd::utl::LogPrintf("Init game\n");
  vd::utl::Log("from a script");
  EXPECT_EQ(e[0].size(), 1u);
  EXPECT_TRUE(e[1].empty());
  EXPECT_EQ(e[2].size(), 1u);
  EXPECT_EQ(s[0], (std::vector<std::string>{"from a script"}));
  EXPECT_TRUE(s[1].empty());
  EXPECT_TRUE(e[0] == e[2] && s[0] == s[2]);
}

TEST_F(LogTest, CutsLongTextsTo499Characters) {
  std::vector<std::string> engine, script;
  holder.AddSink(new RecordingSink(&engine, &script));
  std::string text(2000, 'q');
  vd::utl::LogPrintf("%s", text.c_str());
  ASSERT_EQ(engine.size(), 1u);
  EXPECT_EQ(engine[0].size(), 499u);
}

TEST_F(LogTest, HoldsAtMostFourSinks) {
  std::vector<std::string> e, s;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(holder.AddSink(new RecordingSink(&e, &s)));
  EXPECT_FALSE(holder.AddSink(new RecordingSink(&e, &s)));  // deleted, not leaked
  EXPECT_EQ(holder.Count(), 4);
}

}  // namespace
