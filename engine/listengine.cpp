#include "engine/listengine.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "engine/myobject.h"

namespace {

// Objects not constructed with a context have mode 0, as before Init.
DWORD CurrentMode(const CMyObject* pObject) {
  return pObject->m_pContext ? pObject->m_pContext->m_dwMode : 0;
}

}  // namespace

CListEngine::CListEngine() = default;

CListEngine::~CListEngine() = default;

DWORD CListEngine::Add(CMyObject* pObject) {
  Node* pNode = new Node{nullptr, pObject};
  if (!m_pFirst) {
    m_pFirst = m_pLast = m_pCursor = pNode;
    return 1;
  }
  // Insert before the first object of a greater order: equal orders keep the order
  // in which they were added.
  Node* pPrev = nullptr;
  m_pCursor = m_pFirst;
  while (m_pCursor && m_pCursor->pObject->m_nOrder <= pObject->m_nOrder) {
    pPrev = m_pCursor;
    m_pCursor = m_pCursor->pNext;
  }
  pNode->pNext = m_pCursor;
  if (pPrev)
    pPrev->pNext = pNode;
  else
    m_pFirst = pNode;
  if (!pNode->pNext) m_pLast = pNode;
  m_pCursor = pNode;
  return Count();
}

DWORD CListEngine::Count() const {
  if (!m_pFirst) return 0;
  DWORD dwCount = 1;
  for (const Node* pNode = m_pFirst; pNode != m_pLast; pNode = pNode->pNext) {
    if (!pNode->pNext) return 10000;  // broken chain
    ++dwCount;
  }
  return dwCount;
}

DWORD CListEngine::IndexOf(const CMyObject* pObject) const {
  DWORD dwIndex = 1;
  for (const Node* pNode = m_pFirst; pNode; pNode = pNode->pNext, ++dwIndex)
    if (pNode->pObject == pObject) return dwIndex;
  return 0;
}

DWORD CListEngine::Remove(CMyObject* pObject) {
  Node* pPrev = nullptr;
  Node* pNode = m_pFirst;
  while (pNode && pNode->pObject != pObject) {
    pPrev = pNode;
    pNode = pNode->pNext;
  }
  if (!pNode) return 0;
  if (pPrev)
    pPrev->pNext = pNode->pNext;
  else
    m_pFirst = pNode->pNext;
  if (pNode == m_pLast) m_pLast = pPrev;
  if (m_pCursor == pNode) m_pCursor = nullptr;
  delete pNode;
  return 1;
}

DWORD CListEngine::RemoveByType(const char* strType) {
  if (!strType) return 0;
  bool bFound = true;
  while (bFound) {
    bFound = false;
    for (Node* pNode = m_pFirst; pNode; pNode = pNode->pNext) {
      CMyObject* pObject = pNode->pObject;
      if (pObject->m_strType && std::strcmp(pObject->m_strType, strType) == 0) {
        Remove(pObject);
        delete pObject;
        bFound = true;
        break;
      }
    }
  }
  return 0;
}

DWORD CListEngine::DeleteAll() {
  Node* pNode = m_pFirst;
  m_pFirst = m_pLast = m_pCursor = m_pWalkCursor = nullptr;
  while (pNode) {
    Node* pNext = pNode->pNext;
    CMyObject* pObject = pNode->pObject;
    delete pNode;
    delete pObject;
    pNode = pNext;
  }
  return 1;
}

void CListEngine::FrameMoveAll() {
  m_pWalkCursor = m_pFirst;
  while (m_pWalkCursor) {
    CMyObject* pObject = m_pWalkCursor->pObject;
    // The mode is read again for every object: an update may switch it.
    if (pObject->m_dwModeMask & CurrentMode(pObject)) pObject->FrameMove();
    // Read after the update, so a node inserted right after this one is visited.
    Node* pNext = m_pWalkCursor->pNext;
    if (pObject->m_bDead == 1) {
      Remove(pObject);
      delete pObject;
    }
    m_pWalkCursor = pNext;
  }
}

void CListEngine::RenderAll() {
  for (Node* pNode = m_pFirst; pNode; pNode = pNode->pNext) {
    CMyObject* pObject = pNode->pObject;
    if (pObject->m_bVisible == 1 && (pObject->m_dwModeMask & CurrentMode(pObject))) pObject->Render();
  }
}

void CListEngine::RestoreDeviceObjectsAll() {
  for (Node* pNode = m_pFirst; pNode; pNode = pNode->pNext) pNode->pObject->RestoreDeviceObjects();
}

void CListEngine::InvalidateDeviceObjectsAll() {
  for (Node* pNode = m_pFirst; pNode; pNode = pNode->pNext) pNode->pObject->InvalidateDeviceObjects();
}

void CListEngine::DeleteDeviceObjectsAll() {
  for (Node* pNode = m_pFirst; pNode; pNode = pNode->pNext) pNode->pObject->DeleteDeviceObjects();
}

CListEngine* CListEngine::Copy() const {
  CListEngine* pCopy = new CListEngine;
  for (Node* pNode = m_pFirst; pNode; pNode = pNode->pNext) pCopy->Add(pNode->pObject);
  return pCopy;
}

void CListEngine::FreeNodes() {
  Node* pNode = m_pFirst;
  m_pFirst = m_pLast = m_pCursor = m_pWalkCursor = nullptr;
  while (pNode) {
    Node* pNext = pNode->pNext;
    delete pNode;
    pNode = pNext;
  }
}
