// Reference counting and QueryInterface for the platform's COM-style objects.
//
//   class CThing : public ComObject<IThing, IID_IThing> { ... };
//
// The object starts with one reference and deletes itself when Release drops the
// last one; Release returns the count left. QueryInterface answers IID_IUnknown and
// every IID listed, handing out the Interface pointer with a new reference.
#pragma once

#include <atomic>

#include "platform/win32/win32.h"

template <class Interface, const IID&... Iids>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && !((riid == Iids) || ...)) return E_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    if (m_refs == 0) return 0;  // over-release: ignore rather than wrap around
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

  // The references callers hold (for tests).
  ULONG RefCount() const { return m_refs; }

 protected:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  std::atomic<ULONG> m_refs{1};
};
