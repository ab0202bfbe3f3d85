#include "engine/objects/Component.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "tests/engine/objects/TestComponents.h"

namespace vd {
namespace obj {
namespace {

using test::CTestListener;
using test::CTestMover;
using test::Journal;

// Parses a fragment in place; the document keeps pointers into the buffer.
struct SXml {
  explicit SXml(const std::string& text) : buffer(text.begin(), text.end()) {
    buffer.push_back('\0');
    document.parse<0>(buffer.data());
  }
  rapidxml::xml_node<>* Root() { return document.first_node(); }
  std::vector<char> buffer;
  rapidxml::xml_document<> document;
};

void LoadMover(CTestMover& mover, const std::string& xml, int difficulty = kDifficultyNormal) {
  SXml doc(xml);
  CTestMover::difficulty = difficulty;
  mover.Reset();
  mover.Load(doc.Root());
  CTestMover::difficulty = kDifficultyNormal;
}

TEST(ComponentKeys, NamesCompareWithoutCaseMissingValuesReadZeroLaterKeysWin) {
  CTestMover mover;
  LoadMover(mover,
      "<Component name='CTestMover'>"
      "  <key name='SPEED' value='2.5'/>"
      "  <key name='Lives' value='3'/>"
      "  <other name='lives' value='99'/>"
      "  <key name='lives' value='4'/>"
      "  <key name='target'/>"
      "  <key name='unknown' value='7'/>"
      "  <key name='position' X='1' Y='-2' Z='3.5'/>"
      "  <key name='rotation' X='0' Y='0.5' Z='0' W='1'/>"
      "  <key name='rotation' X='0' Y='0.25' Z='0'/>"
      "</Component>");
  EXPECT_FLOAT_EQ(mover.speed, 2.5f);
  // Only key elements are keys; the later "lives" overrides the earlier one.
  EXPECT_EQ(mover.lives, 4);
  EXPECT_EQ(mover.target, "");
  EXPECT_FLOAT_EQ(mover.position.x, 1.0f);
  EXPECT_FLOAT_EQ(mover.position.y, -2.0f);
  EXPECT_FLOAT_EQ(mover.position.z, 3.5f);
  // The second rotation has no W: it reads 0.
  EXPECT_FLOAT_EQ(mover.rotation.y, 0.25f);
  EXPECT_FLOAT_EQ(mover.rotation.w, 0.0f);

  CTestMover noValue;
  LoadMover(noValue, "<Component><key name='speed'/><key name='lives' value='x'/></Component>");
  EXPECT_FLOAT_EQ(noValue.speed, 0.0f);
  EXPECT_EQ(noValue.lives, 0);
}

TEST(ComponentKeys, DifficultyBlocksOverrideOrdinaryKeysForTheCurrentDifficulty) {
  const std::string xml =
      "<Component>"
      "  <difficulty>"
      "    <easy><key name='speed' value='1'/></easy>"
      "    <normal><key name='speed' value='2'/></normal>"
      "    <hard><key name='speed' value='3'/><key name='lives' value='1'/></hard>"
      "  </difficulty>"
      "  <key name='speed' value='9'/>"
      "  <key name='lives' value='5'/>"
      "  <difficulty><hard><key name='LIVES' value='0'/></hard></difficulty>"
      "</Component>";
  struct {
    int difficulty;
    float speed;
    int lives;
  } cases[] = {{kDifficultyEasy, 1.0f, 5}, {kDifficultyNormal, 2.0f, 5},
               {kDifficultyHard, 3.0f, 0}, {7, 9.0f, 5}};
  for (const auto& c : cases) {
    CTestMover mover;
    LoadMover(mover, xml, c.difficulty);
    EXPECT_FLOAT_EQ(mover.speed, c.speed) << "difficulty " << c.difficulty;
    EXPECT_EQ(mover.lives, c.lives) << "difficulty " << c.difficulty;
  }

  SXml doc(xml);
  std::map<uint32_t, float> params;
  ReadParams(params, doc.Root());
  EXPECT_FLOAT_EQ(params[ComputeHash("speed")], 9.0f);
  ReadDifficultyParams(params, doc.Root(), kDifficultyHard);
  EXPECT_FLOAT_EQ(params[ComputeHash("speed")], 3.0f);
  EXPECT_FLOAT_EQ(params[ComputeHash("lives")], 0.0f);
}

TEST(Component, CreatedByClassNameInAnyCaseAndNullWithoutMaker) {
  utl::FactoryMap<IComponent> makers;
  utl::RegisterFactoryMaker<CTestMover, IComponent>(makers);
  IComponent* made = CreateComponent(makers, "ctestMOVER");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetType(), CTestMover::GetClassName());
  EXPECT_EQ(made->GetOwner(), nullptr);
  EXPECT_FALSE(made->IsEnabled());
  delete made;
  EXPECT_EQ(CreateComponent(makers, "CNoSuchComponent"), nullptr);
  EXPECT_EQ(CreateComponent(makers, ""), nullptr);
  EXPECT_EQ(CreateComponent(makers, nullptr), nullptr);
  utl::DeleteFactoryMakers(makers);
}

TEST(Component, FamilyIsNoNameUnlessAClassNamesOne) {
  CTestListener listener;
  EXPECT_EQ(listener.GetFamilyType().GetHash(), 0xFFFFFFFFu);
  EXPECT_EQ(listener.GetFamilyType().GetText(), nullptr);
  EXPECT_TRUE(listener.BeginOverride());
}

TEST(Component, CopyFromTakesTheFieldsButKeepsOwnerAndCheckPointCopy) {
  CTestMover source;
  LoadMover(source, "<Component><key name='speed' value='4'/><key name='target' value='gate'/></Component>");
  CGameObject holder;
  CGameObject* owner = &holder;
  CTestMover mover;
  mover.SetOwner(owner);
  mover.SetCheckPointCopy(new CTestMover());
  IComponent* copy = mover.GetCheckPointCopy();
  mover.CopyFrom(source);
  EXPECT_FLOAT_EQ(mover.speed, 4.0f);
  EXPECT_EQ(mover.target, "gate");
  EXPECT_EQ(mover.GetOwner(), owner);
  EXPECT_EQ(mover.GetCheckPointCopy(), copy);

  // A component of another class is not copied.
  CTestListener listener;
  listener.CopyFrom(source);
  EXPECT_EQ(listener.label, "");
}

TEST(Component, CheckPointRestoresEveryFieldEnabledStateFirst) {
  CTestMover mover;
  LoadMover(mover,
      "<Component><key name='speed' value='2'/><key name='target' value='bridge'/>"
      "<key name='position' X='1' Y='2' Z='3'/></Component>");
  mover.SetCheckPointCopy(new CTestMover());
  IComponent* copy = mover.GetCheckPointCopy();
  ASSERT_TRUE(copy->IsCheckPointCopy());
  mover.SetEnabled(false, false);
  mover.SaveCheckPoint();
  EXPECT_TRUE(copy->IsCheckPointCopy());
  EXPECT_EQ(copy->GetCheckPointCopy(), nullptr);

  mover.speed = 8.0f;
  mover.target = "tower";
  mover.position = plat::Vec3(9.0f, 9.0f, 9.0f);
  mover.SetEnabled(true, false);
  Journal().clear();
  mover.LoadCheckPoint();

  EXPECT_FLOAT_EQ(mover.speed, 2.0f);
  EXPECT_EQ(mover.target, "bridge");
  EXPECT_FLOAT_EQ(mover.position.z, 3.0f);
  EXPECT_FALSE(mover.IsEnabled());
  EXPECT_EQ(mover.GetCheckPointCopy(), copy);
  EXPECT_FALSE(mover.IsCheckPointCopy());
  const std::vector<std::string> expected = {"SetEnabled 0 1", "OnBeforeRestore", "OnAfterRestore"};
  EXPECT_EQ(Journal(), expected);

  // The saved text is the copy's own: changing the live one leaves it intact.
  mover.target = "moat";
  EXPECT_EQ(static_cast<CTestMover*>(copy)->target, "bridge");
}

// A copy that was never filled (the manager makes one per component at build time)
// holds nothing to go back to: the load leaves the component alone, hooks included.
TEST(Component, LoadRestoresOnlyWhatASaveFilled) {
  CTestMover mover;
  mover.SetCheckPointCopy(new CTestMover());
  mover.speed = 6.0f;
  mover.SetEnabled(true, false);
  Journal().clear();
  mover.LoadCheckPoint();
  EXPECT_FALSE(mover.HasSavedCheckPoint());
  EXPECT_FLOAT_EQ(mover.speed, 6.0f);
  EXPECT_TRUE(mover.IsEnabled());
  EXPECT_TRUE(Journal().empty());

  mover.SaveCheckPoint();
  EXPECT_TRUE(mover.HasSavedCheckPoint());
  mover.speed = 7.0f;
  mover.LoadCheckPoint();
  EXPECT_FLOAT_EQ(mover.speed, 6.0f);
  EXPECT_TRUE(mover.HasSavedCheckPoint()) << "a second load restores the same state";
  mover.speed = 8.0f;
  mover.LoadCheckPoint();
  EXPECT_FLOAT_EQ(mover.speed, 6.0f);

  // A template copy does not bring a saved state along, and a new copy starts empty.
  CTestMover fresh;
  fresh.SetCheckPointCopy(new CTestMover());
  fresh.CopyFrom(mover);
  EXPECT_FALSE(fresh.HasSavedCheckPoint());
  mover.SetCheckPointCopy(new CTestMover());
  EXPECT_FALSE(mover.HasSavedCheckPoint());
}

TEST(Component, SaveWithoutACopyMakesOneAndLoadWithoutOneDoesNothing) {
  CTestMover mover;
  mover.speed = 3.0f;
  mover.LoadCheckPoint();
  EXPECT_FLOAT_EQ(mover.speed, 3.0f);
  mover.SaveCheckPoint();
  ASSERT_NE(mover.GetCheckPointCopy(), nullptr);
  EXPECT_TRUE(mover.GetCheckPointCopy()->IsCheckPointCopy());
  mover.speed = 5.0f;
  mover.LoadCheckPoint();
  EXPECT_FLOAT_EQ(mover.speed, 3.0f);
}

}  // namespace
}  // namespace obj
}  // namespace vd
