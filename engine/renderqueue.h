// The deferred render queue: scene objects queue copies of draw records during the
// render walk; Draw sorts them so that records needing the same device states stand
// together, draws them changing states only where consecutive records differ, and
// the frame ends with Clear.
#pragma once

#include <vector>

#include "engine/renderitem.h"
#include "platform/win32/win32.h"

class CGameContext;

struct RenderNode {
  RenderNode* pNext;
  RenderNode* pPrev;
  RenderItem* pItem;  // the queue's own copy
};

class CRenderQueue {
 public:
  explicit CRenderQueue(CGameContext* pContext);
  // Frees whatever is still queued.
  virtual ~CRenderQueue();

  // Appends a copy of the record.
  HRESULT Add(const RenderItem& item);
  HRESULT Clear();
  // Sorts and draws the queue; the device states it changes are back at their entry
  // values on return. E_FAIL when the chain of records is broken.
  HRESULT Draw();

  // Binds the named texture to stage 0, loading it into the texture cache on first
  // use (plain loader, or the colour-key loader for the Ex form).
  HRESULT SetTextureByName(const char* strName);
  HRESULT SetTextureByNameEx(const char* strName, DWORD dwColorKey);

  // Sorting by (no depth, quad, blend, texture name, mesh), relinking nodes; no
  // record is copied. Sort quick-sorts the whole queue (records of equal keys end in
  // no particular order); QuickSort orders the range from pFirst to pLast and fails when
  // pFirst does not come strictly before pLast.
  HRESULT Sort();
  HRESULT QuickSort(RenderNode* pFirst, RenderNode* pLast);
  // S_OK when b's record sorts strictly before a's, else E_FAIL.
  static HRESULT CompareRecords(const RenderNode* pA, const RenderNode* pB);
  // -1, 0 or 1; names count up to their first 29 characters.
  static int CompareNames(const char* strX, const char* strY);
  HRESULT SwapNodes(RenderNode* pA, RenderNode* pB);
  DWORD Distance(const RenderNode* pA, const RenderNode* pB) const;
  RenderNode* Advance(RenderNode* pNode, DWORD dwCount) const;
  HRESULT IsBefore(const RenderNode* pA, const RenderNode* pB) const;

  RenderNode* Head() const { return m_pHead; }
  RenderNode* Tail() const { return m_pTail; }
  DWORD Count() const;

  CRenderQueue(const CRenderQueue&) = delete;
  CRenderQueue& operator=(const CRenderQueue&) = delete;

 protected:
  CGameContext* m_pContext;
  RenderNode* m_pHead = nullptr;
  RenderNode* m_pTail = nullptr;
  RenderNode* m_pCursor = nullptr;

 private:
  HRESULT SortRange(RenderNode* pFirst, RenderNode* pLast);
  // Nodes with their records live in blocks kept from frame to frame: Add takes the
  // next unused one, Clear makes them all unused again.
  struct Slot;
  std::vector<Slot*> m_Blocks;
  DWORD m_dwUsed = 0;
  bool UsesFixedFunction(const RenderItem& item) const;
  HRESULT LoadAndBindTexture(const char* strName, bool bColorKey, DWORD dwColorKey);
};
