#include "engine/renderqueue.h"

#include <cstring>

CRenderQueue::CRenderQueue(CGameContext* pContext) : m_pContext(pContext) {}

CRenderQueue::~CRenderQueue() { Clear(); }

HRESULT CRenderQueue::Add(RenderItem item) {
  RenderNode* pNode = new RenderNode{nullptr, m_pTail, new RenderItem(item)};
  if (m_pTail)
    m_pTail->pNext = pNode;
  else
    m_pHead = pNode;
  m_pTail = pNode;
  m_pCursor = pNode;
  return S_OK;
}

HRESULT CRenderQueue::Clear() {
  RenderNode* pNode = m_pHead;
  while (pNode) {
    RenderNode* pNext = pNode->pNext;
    delete pNode->pItem;
    delete pNode;
    pNode = pNext;
  }
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

// The range is a run of list positions. Nodes move while it is sorted, so its ends
// are found through the fixed nodes just outside it.
HRESULT CRenderQueue::SortRange(RenderNode* pFirst, RenderNode* pLast) {
  const DWORD n = Distance(pFirst, pLast);
  if (n < 2) return S_OK;
  if (n == 2) {
    if (CompareRecords(pFirst, pLast) == S_OK) SwapNodes(pFirst, pLast);
    return S_OK;
  }
  RenderNode* const pBefore = pFirst->pPrev;
  RenderNode* const pAfter = pLast->pNext;
  auto rangeStart = [&]() { return pBefore ? pBefore->pNext : m_pHead; };
  auto rangeEnd = [&]() { return pAfter ? pAfter->pPrev : m_pTail; };
  // Sorts the parts on either side of the pivot that hold two or more nodes.
  auto sortLeft = [&](RenderNode* pPivotNode) {
    if (pPivotNode != rangeStart() && rangeStart() != pPivotNode->pPrev) SortRange(rangeStart(), pPivotNode->pPrev);
  };
  auto sortRight = [&](RenderNode* pPivotNode) {
    if (pPivotNode != rangeEnd() && pPivotNode->pNext != rangeEnd()) SortRange(pPivotNode->pNext, rangeEnd());
  };
  // Sorts strictly after the pivot.
  auto after = [](const RenderNode* pNode, const RenderNode* pPivot) { return CompareRecords(pNode, pPivot) == S_OK; };

  RenderNode* pPivot = Advance(pFirst, n / 2);
  SwapNodes(pFirst, pPivot);  // the pivot now stands at the start

  RenderNode* i = pPivot->pNext;
  RenderNode* j = rangeEnd();
  for (;;) {
    while (i != rangeEnd() && i->pPrev != j && !after(i, pPivot)) i = i->pNext;
    while (j != pPivot && j->pNext != i && after(j, pPivot)) j = j->pPrev;

    if (j->pNext == i) {
      SwapNodes(pPivot, j);
      sortLeft(pPivot);
      sortRight(pPivot);
      return S_OK;
    }
    if (i == rangeEnd()) {
      SwapNodes(pPivot, j);
      sortLeft(pPivot);
      return S_OK;
    }
    if (j == pPivot) return S_OK;
    SwapNodes(i, j);
    RenderNode* pSwap = i;
    i = j;
    j = pSwap;
  }
}
