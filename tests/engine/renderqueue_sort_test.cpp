#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/renderqueue.h"

namespace {

ID3DXMesh* FakeMesh(uintptr_t id) { return reinterpret_cast<ID3DXMesh*>(id * 0x100); }

RenderItem Record(BYTE bNoDepth, BYTE bQuad, BYTE bBlend, const char* strTexture, uintptr_t mesh = 0) {
  RenderItem item;
  item.m_bNoDepth = bNoDepth;
  item.m_bQuad = bQuad;
  item.m_bBlend = bBlend;
  item.m_strTexture = strTexture;
  item.m_pMesh = mesh ? FakeMesh(mesh) : nullptr;
  return item;
}

using Key = std::tuple<int, int, int, std::string, uintptr_t>;

Key KeyOf(const RenderItem& item) {
  return Key(item.m_bNoDepth, item.m_bQuad, item.m_bBlend, std::string(item.m_strTexture),
             reinterpret_cast<uintptr_t>(item.m_pMesh));
}

// The keys from head to tail, after checking that the links agree both ways.
std::vector<Key> Keys(const CRenderQueue& queue) {
  std::vector<Key> keys;
  const RenderNode* pPrev = nullptr;
  for (const RenderNode* pNode = queue.Head(); pNode; pNode = pNode->pNext) {
    EXPECT_EQ(pPrev, pNode->pPrev);
    keys.push_back(KeyOf(*pNode->pItem));
    pPrev = pNode;
  }
  EXPECT_EQ(pPrev, queue.Tail());
  return keys;
}

TEST(RenderQueueSortTest, CompareNamesOrdersAsText) {
  EXPECT_EQ(-1, CRenderQueue::CompareNames("Caust01", "Caust10"));
  EXPECT_EQ(1, CRenderQueue::CompareNames("Caust10", "Caust01"));
  EXPECT_EQ(-1, CRenderQueue::CompareNames("", "Caust01"));
  EXPECT_EQ(-1, CRenderQueue::CompareNames("Opt", "OptTex"));
  EXPECT_EQ(1, CRenderQueue::CompareNames("OptTex", "Opt"));
  EXPECT_EQ(0, CRenderQueue::CompareNames("OptTex", "OptTex"));
  EXPECT_EQ(0, CRenderQueue::CompareNames("", ""));
  // Characters are compared as signed bytes.
  EXPECT_EQ(-1, CRenderQueue::CompareNames("\xe9", "a"));
}

TEST(RenderQueueSortTest, LongNamesAreCutAtTwentyNineCharactersWithoutOverrun) {
  const std::string strBase(29, 'x');
  const std::string strA = strBase + "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";
  const std::string strB = strBase + "B";
  EXPECT_EQ(0, CRenderQueue::CompareNames(strA.c_str(), strB.c_str()));
  EXPECT_EQ(1, CRenderQueue::CompareNames(strA.c_str(), strBase.substr(0, 28).c_str()));
  const std::string strLong1 = std::string(27, 'y') + "a" + std::string(60, 'z');
  const std::string strLong2 = std::string(27, 'y') + "b" + std::string(10, 'z');
  EXPECT_EQ(-1, CRenderQueue::CompareNames(strLong1.c_str(), strLong2.c_str()));
}

TEST(RenderQueueSortTest, KeyPrecedence) {
  CRenderQueue queue(nullptr);
  queue.Add(Record(1, 0, 0, ""));            // the cursor: last of all
  queue.Add(Record(0, 1, 1, "Menu"));        // blended quad
  queue.Add(Record(0, 1, 0, "Zeta"));        // opaque quad
  queue.Add(Record(0, 0, 1, "Caust10", 1));  // blended mesh
  queue.Add(Record(0, 0, 0, "Caust10", 2));
  queue.Add(Record(0, 0, 0, "Caust01", 3));
  queue.Add(Record(0, 0, 0, "Caust01", 1));
  queue.Add(Record(0, 0, 0, "", 9));
  EXPECT_EQ(S_OK, queue.Sort());
  const std::vector<Key> expected = {
      KeyOf(Record(0, 0, 0, "", 9)),        KeyOf(Record(0, 0, 0, "Caust01", 1)),
      KeyOf(Record(0, 0, 0, "Caust01", 3)), KeyOf(Record(0, 0, 0, "Caust10", 2)),
      KeyOf(Record(0, 0, 1, "Caust10", 1)), KeyOf(Record(0, 1, 0, "Zeta")),
      KeyOf(Record(0, 1, 1, "Menu")),       KeyOf(Record(1, 0, 0, "")),
  };
  EXPECT_EQ(expected, Keys(queue));
  queue.Clear();
}

TEST(RenderQueueSortTest, OneRecordAndTwoRecords) {
  CRenderQueue queue(nullptr);
  queue.Add(Record(1, 0, 0, ""));
  RenderNode* pOnly = queue.Head();
  EXPECT_EQ(S_OK, queue.Sort());
  EXPECT_EQ(pOnly, queue.Head());
  EXPECT_EQ(pOnly, queue.Tail());

  queue.Add(Record(0, 0, 0, ""));
  RenderNode* pSecond = queue.Tail();
  queue.Sort();
  EXPECT_EQ(pSecond, queue.Head());
  EXPECT_EQ(pOnly, queue.Tail());
  EXPECT_EQ(nullptr, queue.Head()->pPrev);
  EXPECT_EQ(nullptr, queue.Tail()->pNext);
  queue.Sort();  // in order: left alone
  EXPECT_EQ(pSecond, queue.Head());
}

TEST(RenderQueueSortTest, ListOperations) {
  CRenderQueue queue(nullptr);
  for (int i = 0; i < 5; ++i) queue.Add(Record(0, 0, 0, "", i + 1));
  RenderNode* n[5];
  n[0] = queue.Head();
  for (int i = 1; i < 5; ++i) n[i] = n[i - 1]->pNext;

  EXPECT_EQ(5u, queue.Distance(n[0], n[4]));
  EXPECT_EQ(1u, queue.Distance(n[2], n[2]));
  EXPECT_EQ(0u, queue.Distance(n[3], n[1]));
  EXPECT_EQ(0u, queue.Distance(nullptr, n[1]));
  EXPECT_EQ(n[3], queue.Advance(n[1], 2));
  EXPECT_EQ(n[4], queue.Advance(n[1], 20));
  EXPECT_EQ(nullptr, queue.Advance(nullptr, 1));
  EXPECT_EQ(S_OK, queue.IsBefore(n[0], n[4]));
  EXPECT_EQ(E_FAIL, queue.IsBefore(n[4], n[0]));
  EXPECT_EQ(E_FAIL, queue.IsBefore(n[2], n[2]));
  EXPECT_EQ(E_FAIL, queue.QuickSort(n[3], n[1]));

  queue.SwapNodes(n[0], n[4]);  // head and tail
  queue.SwapNodes(n[1], n[2]);  // neighbours
  std::vector<uintptr_t> meshes;
  for (RenderNode* p = queue.Head(); p; p = p->pNext) meshes.push_back(reinterpret_cast<uintptr_t>(p->pItem->m_pMesh));
  EXPECT_EQ((std::vector<uintptr_t>{0x500, 0x300, 0x200, 0x400, 0x100}), meshes);
  Keys(queue);  // links stay consistent
  queue.Clear();
}

TEST(RenderQueueSortTest, EqualKeysKeepEveryRecordAndConsistentLinks) {
  CRenderQueue queue(nullptr);
  for (int i = 0; i < 40; ++i) queue.Add(Record(0, 1, 1, "OptTex"));
  queue.Sort();
  EXPECT_EQ(40u, Keys(queue).size());
  EXPECT_EQ(nullptr, queue.Head()->pPrev);
  EXPECT_EQ(nullptr, queue.Tail()->pNext);
  queue.QuickSort(queue.Head(), queue.Tail());
  EXPECT_EQ(40u, Keys(queue).size());
  EXPECT_EQ(nullptr, queue.Head()->pPrev);
  EXPECT_EQ(nullptr, queue.Tail()->pNext);
}

// Records of equal keys (blended quads of one texture, say) draw over each other in the
// order the sort leaves them; that order is part of the picture and must not drift.
TEST(RenderQueueSortTest, EqualRecordsEndInTheSameOrderEveryTime) {
  const int kKeys[] = {1, 0, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1};
  CRenderQueue queue(nullptr);
  for (int nFrame = 0; nFrame < 2; ++nFrame) {  // the second frame reuses the first one's nodes
    for (DWORD i = 0; i < 12; ++i) {
      RenderItem item = kKeys[i] ? Record(0, 1, 1, "UpMenu") : Record(0, 0, 0, "Floor", 1);
      item.m_dwPrimCount = i;
      queue.Add(item);
    }
    queue.Sort();
    std::vector<DWORD> order;
    for (const RenderNode* pNode = queue.Head(); pNode; pNode = pNode->pNext) order.push_back(pNode->pItem->m_dwPrimCount);
    EXPECT_EQ((std::vector<DWORD>{8, 1, 4, 7, 3, 9, 2, 10, 0, 11, 5, 6}), order);
    Keys(queue);
    queue.Clear();
  }
}

TEST(RenderQueueSortTest, QuickSortSortsOnlyItsRange) {
  CRenderQueue queue(nullptr);
  for (uintptr_t mesh : {9, 5, 4, 3, 1, 0}) queue.Add(Record(0, 0, 0, "", mesh));
  RenderNode* pFirst = queue.Head()->pNext;
  RenderNode* pLast = queue.Tail()->pPrev;
  EXPECT_EQ(S_OK, queue.QuickSort(pFirst, pLast));
  std::vector<uintptr_t> meshes;
  for (const Key& key : Keys(queue)) meshes.push_back(std::get<4>(key));
  EXPECT_EQ((std::vector<uintptr_t>{0x900, 0x100, 0x300, 0x400, 0x500, 0}), meshes);
}

TEST(RenderQueueSortTest, AnyArrangementEndsAscendingByTheFullKey) {
  static const char* const kNames[] = {"", "A", "AB", "B", "Caust01", "Caust10", "Floor", "OptTex"};
  std::mt19937 random(12345);
  for (int round = 0; round < 900; ++round) {
    const int nCount = static_cast<int>(random() % 48);
    // Narrow key ranges in some rounds give long runs of equal keys.
    const unsigned nVariety = 1 + random() % 8;
    std::vector<RenderItem> items;
    for (int i = 0; i < nCount; ++i)
      items.push_back(Record(nVariety > 4 && random() % 2 == 0, random() % 2, random() % 2,
                             kNames[random() % nVariety], random() % nVariety));
    auto less = [](const RenderItem& a, const RenderItem& b) { return KeyOf(a) < KeyOf(b); };
    if (round % 3 == 1) std::sort(items.begin(), items.end(), less);
    if (round % 3 == 2) std::sort(items.rbegin(), items.rend(), less);

    CRenderQueue queue(nullptr);
    std::vector<Key> expected;
    for (const RenderItem& item : items) {
      queue.Add(item);
      expected.push_back(KeyOf(item));
    }
    std::sort(expected.begin(), expected.end());
    // Both the frame's sort and the range quicksort end in key order.
    if (round % 2 == 0 || nCount < 2)
      queue.Sort();
    else
      EXPECT_EQ(S_OK, queue.QuickSort(queue.Head(), queue.Tail()));
    // Ties may end in any order: compare the keys, not the records.
    ASSERT_EQ(expected, Keys(queue)) << "round " << round;
  }
}

TEST(RenderQueueTest, AddCopiesAndClearEmpties) {
  CRenderQueue queue(nullptr);
  EXPECT_EQ(S_OK, queue.Clear());
  EXPECT_EQ(S_OK, queue.Clear());
  RenderItem staging;
  staging.m_strTexture = "first";
  queue.Add(staging);
  staging.m_strTexture = "second";
  queue.Add(staging);
  staging.m_strTexture = "third";
  queue.Add(staging);
  staging.m_strTexture = "changed";
  ASSERT_EQ(3u, queue.Count());
  EXPECT_STREQ("first", queue.Head()->pItem->m_strTexture);
  EXPECT_STREQ("second", queue.Head()->pNext->pItem->m_strTexture);
  EXPECT_STREQ("third", queue.Tail()->pItem->m_strTexture);
  Keys(queue);
  queue.Clear();
  EXPECT_EQ(nullptr, queue.Head());
  EXPECT_EQ(nullptr, queue.Tail());

  // Cleared nodes serve the next frame, which may be longer; a chain cut short is
  // cleared whole (the sanitizer build reports any node left behind).
  for (int i = 0; i < 150; ++i) queue.Add(Record(0, 0, 0, i % 2 ? "odd" : "even"));
  ASSERT_EQ(150u, queue.Count());
  EXPECT_STREQ("even", queue.Head()->pItem->m_strTexture);
  EXPECT_STREQ("odd", queue.Tail()->pItem->m_strTexture);
  Keys(queue);
  queue.Head()->pNext->pNext = nullptr;
  queue.Clear();
  queue.Add(staging);
  EXPECT_EQ(1u, queue.Count());
  EXPECT_STREQ("changed", queue.Head()->pItem->m_strTexture);
}

TEST(RenderItemTest, NewAndResetRecordsAreAllZeroWithTheEmptyName) {
  RenderItem item;
  EXPECT_STREQ("", item.m_strTexture);
  EXPECT_EQ(nullptr, item.m_pMesh);
  EXPECT_EQ(nullptr, item.m_pVB);
  EXPECT_EQ(nullptr, item.m_pShader);
  EXPECT_EQ(0u, item.m_dwLight);
  EXPECT_EQ(0.0f, item.m_matWorld._11);
  item.m_bQuad = 1;
  item.m_strTexture = "x";
  item.m_Material.Diffuse.r = 1.0f;
  item.Reset();
  EXPECT_EQ(0, item.m_bQuad);
  EXPECT_STREQ("", item.m_strTexture);
  EXPECT_EQ(0.0f, item.m_Material.Diffuse.r);
}

}  // namespace
