#include "engine/listengine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/myobject.h"

namespace {

// A scene object that writes what happens to it into a shared journal.
class Probe : public CMyObject {
 public:
  Probe(CGameContext* pContext, std::vector<std::string>* pJournal, const char* strName, INT nOrder,
        DWORD dwMask = 0xFF, BYTE bVisible = 1)
      : m_pJournal(pJournal), m_strName(strName) {
    m_pContext = pContext;
    m_nOrder = nOrder;
    m_dwModeMask = dwMask;
    m_bVisible = bVisible;
    m_strType = "probe";
  }
  ~Probe() override { m_pJournal->push_back("delete " + m_strName); }
  HRESULT FrameMove() override {
    m_pJournal->push_back("move " + m_strName);
    if (m_OnMove) m_OnMove();
    return S_OK;
  }
  HRESULT Render() override {
    m_pJournal->push_back("render " + m_strName);
    return S_OK;
  }
  HRESULT RestoreDeviceObjects() override {
    m_pJournal->push_back("restore " + m_strName);
    return S_OK;
  }

  std::function<void()> m_OnMove;

 private:
  std::vector<std::string>* m_pJournal;
  std::string m_strName;
};

class ListEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { m_Context.m_dwMode = GAMEMODE_PLAY; }
  void TearDown() override { m_List.DeleteAll(); }

  Probe* Make(const char* strName, INT nOrder, DWORD dwMask = 0xFF, BYTE bVisible = 1) {
    return new Probe(&m_Context, &m_Journal, strName, nOrder, dwMask, bVisible);
  }
  std::vector<std::string> Order() {
    std::vector<std::string> names;
    m_Journal.clear();
    m_List.RestoreDeviceObjectsAll();
    for (const std::string& entry : m_Journal) names.push_back(entry.substr(8));
    m_Journal.clear();
    return names;
  }

  CGameContext m_Context;
  CListEngine m_List;
  std::vector<std::string> m_Journal;
};

TEST_F(ListEngineTest, KeepsDrawOrderAndEqualOrdersInInsertionOrder) {
  EXPECT_EQ(0u, m_List.Count());
  EXPECT_EQ(1u, m_List.Add(Make("camera", 5)));
  EXPECT_EQ(2u, m_List.Add(Make("keys", 0)));
  EXPECT_EQ(3u, m_List.Add(Make("mouse", 99)));
  EXPECT_EQ(4u, m_List.Add(Make("mainmenu", 86)));
  EXPECT_EQ(5u, m_List.Add(Make("records", 86)));
  EXPECT_EQ(6u, m_List.Add(Make("options", -3)));
  EXPECT_EQ((std::vector<std::string>{"options", "keys", "camera", "mainmenu", "records", "mouse"}), Order());
  EXPECT_EQ(6u, m_List.Count());
}

TEST_F(ListEngineTest, RemoveIndexOfAndRemoveByType) {
  Probe* a = Make("a", 1);
  Probe* b = Make("b", 2);
  Probe* c = Make("c", 3);
  m_List.Add(a);
  m_List.Add(b);
  m_List.Add(c);
  Probe stranger(&m_Context, &m_Journal, "stranger", 1);
  EXPECT_EQ(0u, m_List.IndexOf(&stranger));
  EXPECT_EQ(0u, m_List.Remove(&stranger));
  EXPECT_EQ(3u, m_List.IndexOf(c));

  EXPECT_EQ(1u, m_List.Remove(c));  // the last node: its predecessor becomes last
  EXPECT_EQ(2u, m_List.Count());
  m_List.Add(c);
  EXPECT_EQ(3u, m_List.IndexOf(c));
  EXPECT_EQ(1u, m_List.Remove(a));
  EXPECT_EQ((std::vector<std::string>{"b", "c"}), Order());
  delete a;

  b->m_strType = "ball";
  m_List.RemoveByType("nothing");
  EXPECT_EQ(2u, m_List.Count());
  m_List.RemoveByType("ball");
  EXPECT_EQ(1u, m_List.Count());
  EXPECT_EQ((std::vector<std::string>{"c"}), Order());
  m_Journal.clear();
  stranger.m_strType = "unused";
}

TEST_F(ListEngineTest, UpdateWalkFiltersByModeAndDeletesDeadObjectsRightAway) {
  Probe* playing = Make("playing", 1, GAMEMODE_PLAY);
  Probe* menu = Make("menu", 2, GAMEMODE_MAINMENU);
  Probe* dying = Make("dying", 3, GAMEMODE_PLAY);
  Probe* last = Make("last", 4, GAMEMODE_PLAY);
  m_List.Add(playing);
  m_List.Add(menu);
  m_List.Add(dying);
  m_List.Add(last);
  dying->m_OnMove = [dying] { dying->m_bDead = 1; };
  menu->m_bDead = 1;  // dead while its mask does not match: deleted all the same

  m_List.FrameMoveAll();
  EXPECT_EQ((std::vector<std::string>{"move playing", "delete menu", "move dying", "delete dying", "move last"}),
            m_Journal);
  EXPECT_EQ(2u, m_List.Count());
}

TEST_F(ListEngineTest, ModeChangeDuringTheWalkAppliesToTheFollowingObjects) {
  Probe* switcher = Make("switcher", 1, GAMEMODE_PLAY);
  m_List.Add(switcher);
  m_List.Add(Make("player", 2, GAMEMODE_PLAY));
  m_List.Add(Make("menu", 3, GAMEMODE_MAINMENU));
  switcher->m_OnMove = [this] { m_Context.m_dwMode = GAMEMODE_MAINMENU; };
  m_List.FrameMoveAll();
  EXPECT_EQ((std::vector<std::string>{"move switcher", "move menu"}), m_Journal);
}

TEST_F(ListEngineTest, AddsDuringTheWalkAfterTheCurrentObjectAreVisited) {
  Probe* spawner = Make("spawner", 25);
  m_List.Add(Make("early", 5));
  m_List.Add(spawner);
  m_List.Add(Make("late", 99));
  spawner->m_OnMove = [this, spawner] {
    spawner->m_OnMove = nullptr;
    m_List.Add(Make("before", 0));  // lands before the cursor: not visited this frame
    m_List.Add(Make("after", 25));  // right after the spawner: visited
  };
  m_List.FrameMoveAll();
  EXPECT_EQ((std::vector<std::string>{"move early", "move spawner", "move after", "move late"}), m_Journal);
  EXPECT_EQ(5u, m_List.Count());
}

TEST_F(ListEngineTest, SpawnerThatDiesStillHandsOverToItsNewNeighbour) {
  Probe* spawner = Make("spawner", 25);
  m_List.Add(spawner);
  spawner->m_OnMove = [this, spawner] {
    spawner->m_bDead = 1;
    m_List.Add(Make("child", 25));
  };
  m_List.FrameMoveAll();
  EXPECT_EQ((std::vector<std::string>{"move spawner", "delete spawner", "move child"}), m_Journal);
  EXPECT_EQ(1u, m_List.Count());
}

TEST_F(ListEngineTest, RenderWalkSkipsInvisibleObjectsButUpdatesThem) {
  m_List.Add(Make("shown", 1));
  m_List.Add(Make("hidden", 2, 0xFF, 0));
  m_List.Add(Make("visible2", 3, 0xFF, 2));  // only exactly 1 counts as visible
  m_List.Add(Make("othermode", 4, GAMEMODE_INTRO));
  m_List.FrameMoveAll();
  m_List.RenderAll();
  EXPECT_EQ((std::vector<std::string>{"move shown", "move hidden", "move visible2", "render shown"}), m_Journal);
}

TEST_F(ListEngineTest, NoModeBeforeInitMeansNoUpdate) {
  m_Context.m_dwMode = 0;
  m_List.Add(Make("camera", 5, 0xFF));
  m_List.FrameMoveAll();
  m_List.RenderAll();
  EXPECT_TRUE(m_Journal.empty());
}

TEST_F(ListEngineTest, DeleteAllDeletesInDrawOrderAndCopySharesObjects) {
  m_List.Add(Make("b", 2));
  m_List.Add(Make("a", 1));
  CListEngine* pCopy = m_List.Copy();
  EXPECT_EQ(2u, pCopy->Count());
  pCopy->FreeNodes();
  EXPECT_EQ(0u, pCopy->Count());
  delete pCopy;
  EXPECT_TRUE(m_Journal.empty());
  EXPECT_EQ(1u, m_List.DeleteAll());
  EXPECT_EQ((std::vector<std::string>{"delete a", "delete b"}), m_Journal);
  EXPECT_EQ(0u, m_List.Count());
}

TEST(MyObjectTest, BaseStartsCleared) {
  CMyObject object;
  EXPECT_EQ(nullptr, object.m_pContext);
  EXPECT_EQ(0, object.m_bVisible);
  EXPECT_EQ(0, object.m_bDead);
  EXPECT_EQ(0, object.m_nOrder);
  EXPECT_EQ(0u, object.m_dwModeMask);
  EXPECT_EQ(nullptr, object.m_pMesh);
  EXPECT_STREQ("", object.m_strType);
  EXPECT_EQ(0.0f, object.m_Material.Diffuse.a);
  EXPECT_EQ(1.0f, object.m_matWorld._11);
  EXPECT_EQ(S_OK, object.FrameMove());
  EXPECT_EQ(S_OK, object.Reserved(7));
}

}  // namespace
