// Values by name in the order they were added; a lookup finds the first of a name.
// The list keeps its own copy of each name but does not own the values; the caches
// build their ownership on top of it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32.h"

template <typename T>
class CNamedList {
 public:
  // A null name is kept as "".
  void Add(T* pValue, const char* strName) { m_entries.push_back({strName ? strName : "", pValue}); }

  // True and the first value of that name in *ppValue; a null name finds nothing.
  bool Find(const char* strName, T** ppValue) const {
    if (!strName) return false;
    for (const Entry& entry : m_entries) {
      if (entry.strName == strName) {
        *ppValue = entry.pValue;
        return true;
      }
    }
    return false;
  }

  bool Holds(const T* pValue) const {
    for (const Entry& entry : m_entries)
      if (entry.pValue == pValue) return true;
    return false;
  }

  DWORD Count() const { return static_cast<DWORD>(m_entries.size()); }

  // Drops every entry of that name, handing each non-null value to free; how many went.
  template <typename Free>
  DWORD Remove(const char* strName, Free free) {
    if (!strName) return 0;
    std::vector<Entry> removed;
    std::vector<Entry> kept;
    for (Entry& entry : m_entries) (entry.strName == strName ? removed : kept).push_back(std::move(entry));
    m_entries.swap(kept);
    for (const Entry& entry : removed)
      if (entry.pValue) free(entry.pValue);
    return static_cast<DWORD>(removed.size());
  }

  // Empties the list, handing each non-null value to free first (in order of adding).
  template <typename Free>
  void Clear(Free free) {
    std::vector<Entry> entries;
    entries.swap(m_entries);
    for (const Entry& entry : entries)
      if (entry.pValue) free(entry.pValue);
  }

 private:
  struct Entry {
    std::string strName;
    T* pValue;
  };
  std::vector<Entry> m_entries;
};
