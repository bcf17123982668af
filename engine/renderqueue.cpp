#include "engine/renderqueue.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
const DWORD kSlotsPerBlock = 64;
}

struct CRenderQueue::Slot {
  RenderNode node;
  RenderItem item;
};

CRenderQueue::CRenderQueue(CGameContext* pContext) : m_pContext(pContext) {}

CRenderQueue::~CRenderQueue() {
  for (Slot* pBlock : m_Blocks) delete[] pBlock;
}

HRESULT CRenderQueue::Add(const RenderItem& item) {
  if (m_dwUsed == m_Blocks.size() * kSlotsPerBlock) m_Blocks.push_back(new Slot[kSlotsPerBlock]);
  Slot& slot = m_Blocks[m_dwUsed / kSlotsPerBlock][m_dwUsed % kSlotsPerBlock];
  ++m_dwUsed;
  slot.item = item;
  RenderNode* pNode = &slot.node;
  *pNode = RenderNode{nullptr, m_pTail, &slot.item};
  if (m_pTail)
    m_pTail->pNext = pNode;
  else
    m_pHead = pNode;
  m_pTail = pNode;
  m_pCursor = pNode;
  return S_OK;
}

HRESULT CRenderQueue::Clear() {
  // Every node goes, reachable from the head or not; the blocks stay for the next frame.
  m_dwUsed = 0;
  m_pHead = m_pTail = m_pCursor = nullptr;
  return S_OK;
}

DWORD CRenderQueue::Count() const {
  DWORD dwCount = 0;
  for (const RenderNode* pNode = m_pHead; pNode; pNode = pNode->pNext) ++dwCount;
  return dwCount;
}

// ---- Sorting ----

int CRenderQueue::CompareNames(const char* strX, const char* strY) {
  // Names take part with at most their first 29 characters, as if copied into
  // 30-byte buffers; longer names are cut, never overrun. The shorter name's end
  // takes part, so a name sorts before every longer name it begins.
  enum { NAME_CHARS = 29 };
  const char* x = strX ? strX : "";
  const char* y = strY ? strY : "";
  for (int i = 0; i < NAME_CHARS; ++i) {
    const signed char a = static_cast<signed char>(x[i]);
    const signed char b = static_cast<signed char>(y[i]);
    if (a != b) return a < b ? -1 : 1;
    if (a == '\0') return 0;
  }
  return 0;
}

HRESULT CRenderQueue::CompareRecords(const RenderNode* pA, const RenderNode* pB) {
  const RenderItem& a = *pA->pItem;
  const RenderItem& b = *pB->pItem;
  if (a.m_bNoDepth != b.m_bNoDepth) return b.m_bNoDepth < a.m_bNoDepth ? S_OK : E_FAIL;
  if (a.m_bQuad != b.m_bQuad) return b.m_bQuad < a.m_bQuad ? S_OK : E_FAIL;
  if (a.m_bBlend != b.m_bBlend) return b.m_bBlend < a.m_bBlend ? S_OK : E_FAIL;
  const int nNames = CompareNames(a.m_strTexture, b.m_strTexture);
  if (nNames != 0) return nNames > 0 ? S_OK : E_FAIL;
  const uintptr_t meshA = reinterpret_cast<uintptr_t>(a.m_pMesh);
  const uintptr_t meshB = reinterpret_cast<uintptr_t>(b.m_pMesh);
  return meshB < meshA ? S_OK : E_FAIL;
}

HRESULT CRenderQueue::SwapNodes(RenderNode* pA, RenderNode* pB) {
  if (!pA || !pB || pA == pB) return S_OK;
  RenderNode* pAPrev = pA->pPrev;
  RenderNode* pBNext = pB->pNext;
  if (pA->pNext == pB) {
    // Neighbours: ... aPrev, A, B, bNext ... becomes ... aPrev, B, A, bNext ...
    pB->pPrev = pAPrev;
    pB->pNext = pA;
    pA->pPrev = pB;
    pA->pNext = pBNext;
  } else {
    RenderNode* pANext = pA->pNext;
    RenderNode* pBPrev = pB->pPrev;
    pB->pPrev = pAPrev;
    pB->pNext = pANext;
    pANext->pPrev = pB;
    pA->pPrev = pBPrev;
    pA->pNext = pBNext;
    pBPrev->pNext = pA;
  }
  if (pAPrev)
    pAPrev->pNext = pB;
  else
    m_pHead = pB;
  if (pBNext)
    pBNext->pPrev = pA;
  else
    m_pTail = pA;
  return S_OK;
}

DWORD CRenderQueue::Distance(const RenderNode* pA, const RenderNode* pB) const {
  if (!pA || !pB) return 0;
  if (pA == pB) return 1;
  if (pA == m_pTail || pB == m_pHead) return 0;
  DWORD dwCount = 1;
  for (const RenderNode* pNode = pA; pNode; pNode = pNode->pNext, ++dwCount)
    if (pNode == pB) return dwCount;
  return 0;
}

RenderNode* CRenderQueue::Advance(RenderNode* pNode, DWORD dwCount) const {
  if (!pNode) return nullptr;
  while (dwCount-- > 0 && pNode != m_pTail && pNode->pNext) pNode = pNode->pNext;
  return pNode;
}

HRESULT CRenderQueue::IsBefore(const RenderNode* pA, const RenderNode* pB) const {
  if (!pA || !pB || pA == pB) return E_FAIL;
  for (const RenderNode* pNode = m_pHead; pNode; pNode = pNode->pNext) {
    if (pNode == pA) {
      for (pNode = pNode->pNext; pNode; pNode = pNode->pNext)
        if (pNode == pB) return S_OK;
      return E_FAIL;
    }
    if (pNode == pB) return E_FAIL;
  }
  return E_FAIL;
}

HRESULT CRenderQueue::Sort() {
  if (!m_pHead || m_pHead == m_pTail) return S_OK;
  QuickSort(m_pHead, m_pTail);
  return S_OK;
}

HRESULT CRenderQueue::QuickSort(RenderNode* pFirst, RenderNode* pLast) {
  if (IsBefore(pFirst, pLast) != S_OK) return E_FAIL;
  return SortRange(pFirst, pLast);
}

namespace {

// A record's sort keys, read once: the flags and the rank of its texture name among
// the range's names make one number, the mesh the other.
struct SortEntry {
  RenderNode* pNode;
  uint64_t qwKey;
  uintptr_t uMesh;
};

// Sorts strictly after: what CompareRecords(pA, pB) == S_OK says of the records.
bool After(const SortEntry& a, const SortEntry& b) {
  return a.qwKey != b.qwKey ? a.qwKey > b.qwKey : a.uMesh > b.uMesh;
}

// The queue's quick sort over list positions lo..hi, done on an array: the same pivots,
// the same exchanges and so the same order, equal records included.
void SortPositions(std::vector<SortEntry>& v, size_t lo, size_t hi) {
  const size_t n = hi - lo + 1;
  if (n < 2) return;
  if (n == 2) {
    if (After(v[lo], v[hi])) std::swap(v[lo], v[hi]);
    return;
  }
  // A run of equal records costs the partition below n steps a level, n levels deep;
  // its outcome (pivot to the front, then to the back, one fewer each time) is cheap.
  size_t e = lo + 1;
  while (e <= hi && v[e].qwKey == v[lo].qwKey && v[e].uMesh == v[lo].uMesh) ++e;
  if (e > hi) {
    for (size_t m = n; m >= 3; --m) {
      std::swap(v[lo], v[lo + m / 2]);
      std::swap(v[lo], v[lo + m - 1]);
    }
    return;
  }
  std::swap(v[lo], v[lo + n / 2]);  // the pivot now stands at the start
  const SortEntry pivot = v[lo];
  auto sortLeft = [&](size_t p) {
    if (p != lo && lo != p - 1) SortPositions(v, lo, p - 1);
  };
  auto sortRight = [&](size_t p) {
    if (p != hi && p + 1 != hi) SortPositions(v, p + 1, hi);
  };
  size_t i = lo + 1;
  size_t j = hi;
  for (;;) {
    while (i != hi && i - 1 != j && !After(v[i], pivot)) ++i;
    while (j != lo && j + 1 != i && After(v[j], pivot)) --j;
    if (j + 1 == i) {
      std::swap(v[lo], v[j]);
      sortLeft(j);
      sortRight(j);
      return;
    }
    if (i == hi) {
      std::swap(v[lo], v[j]);
      sortLeft(j);
      return;
    }
    if (j == lo) return;
    std::swap(v[i], v[j]);
  }
}

}  // namespace

HRESULT CRenderQueue::SortRange(RenderNode* pFirst, RenderNode* pLast) {
  const DWORD n = Distance(pFirst, pLast);
  if (n < 2) return S_OK;
  RenderNode* const pBefore = pFirst->pPrev;
  RenderNode* const pAfter = pLast->pNext;

  // Each distinct texture name once (the same pointer is the same name), then ranked.
  std::vector<SortEntry> entries;
  entries.reserve(n);
  std::vector<const char*> names;
  const char* strLast = nullptr;
  uint32_t nLast = 0;
  RenderNode* pNode = pFirst;
  for (DWORD k = 0; k < n; ++k, pNode = pNode->pNext) {
    const RenderItem& item = *pNode->pItem;
    const char* strName = item.m_strTexture ? item.m_strTexture : "";
    if (strName != strLast || k == 0) {
      uint32_t nName = 0;
      while (nName < names.size() && names[nName] != strName) ++nName;
      if (nName == names.size()) {
        nName = 0;
        while (nName < names.size() && CompareNames(names[nName], strName) != 0) ++nName;
        names.push_back(strName);  // an alias of an equal name keeps a slot of its own
      }
      strLast = strName;
      nLast = nName;
    }
    const uint64_t qwFlags = (uint64_t(item.m_bNoDepth) << 56) | (uint64_t(item.m_bQuad) << 48) |
                             (uint64_t(item.m_bBlend) << 40);
    entries.push_back({pNode, qwFlags | nLast, reinterpret_cast<uintptr_t>(item.m_pMesh)});
  }
  // Slot numbers become ranks in name order; equal names (aliases) share a rank.
  std::vector<uint32_t> order(names.size());
  for (uint32_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return CompareNames(names[a], names[b]) < 0; });
  std::vector<uint32_t> ranks(names.size(), 0);
  uint32_t nRank = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    if (k > 0 && CompareNames(names[order[k - 1]], names[order[k]]) != 0) ++nRank;
    ranks[order[k]] = nRank;
  }
  for (SortEntry& entry : entries) {
    const uint32_t nSlot = static_cast<uint32_t>(entry.qwKey & 0xFFFFFFFFu);
    entry.qwKey = (entry.qwKey & ~uint64_t(0xFFFFFFFFu)) | ranks[nSlot];
  }

  SortPositions(entries, 0, entries.size() - 1);

  // Relinks the range in its new order between the fixed nodes around it.
  RenderNode* pPrev = pBefore;
  for (const SortEntry& entry : entries) {
    entry.pNode->pPrev = pPrev;
    if (pPrev)
      pPrev->pNext = entry.pNode;
    else
      m_pHead = entry.pNode;
    pPrev = entry.pNode;
  }
  pPrev->pNext = pAfter;
  if (pAfter)
    pAfter->pPrev = pPrev;
  else
    m_pTail = pPrev;
  return S_OK;
}
