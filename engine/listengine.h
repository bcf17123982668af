// The scene object list: owns the scene objects, kept sorted by draw order (equal
// orders in insertion order), with mode-filtered update and render walks.
#pragma once

#include "platform/win32/win32.h"

class CGameContext;
class CMyObject;

class CListEngine {
 public:
  struct Node {
    Node* pNext;
    CMyObject* pObject;
  };

  CListEngine();
  // Frees nothing: the owner calls DeleteAll first.
  virtual ~CListEngine();

  DWORD Add(CMyObject* pObject);
  DWORD Count() const;
  DWORD IndexOf(const CMyObject* pObject) const;
  // Unlinks the object without deleting it: 1 when done, 0 when absent.
  DWORD Remove(CMyObject* pObject);
  // Removes and deletes every object of that type name.
  DWORD RemoveByType(const char* strType);
  // Deletes every object in draw order and empties the list.
  DWORD DeleteAll();

  // Update walk: objects of the current mode; dead objects are deleted right after
  // their update, whatever their mask. Objects may be added during the walk.
  void FrameMoveAll();
  // Render walk: visible objects of the current mode.
  void RenderAll();

  void RestoreDeviceObjectsAll();
  void InvalidateDeviceObjectsAll();
  void DeleteDeviceObjectsAll();

  // A new list sharing the same objects.
  CListEngine* Copy() const;
  // Empties the list without deleting the objects.
  void FreeNodes();

  Node* First() const { return m_pFirst; }

  CListEngine(const CListEngine&) = delete;
  CListEngine& operator=(const CListEngine&) = delete;

 private:
  Node* m_pFirst = nullptr;
  Node* m_pLast = nullptr;
  Node* m_pCursor = nullptr;      // used by Add
  Node* m_pWalkCursor = nullptr;  // the update walk's own cursor
};
