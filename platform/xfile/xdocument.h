// What a parsed .x file holds: templates, and a tree of data objects whose data is
// already laid out in the template's binary layout.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace xfile {

enum class XPrimitive { None, Word, Dword, Float, Double, Char, Uchar, Sword, Sdword, String };

// Size in the data layout (strings are char pointers).
size_t PrimitiveSize(XPrimitive p);

struct XDimension {
  uint32_t fixed = 0;
  std::string memberName;  // empty: fixed size
};

struct XTemplateMember {
  XPrimitive primitive = XPrimitive::None;
  std::string typeName;  // a template, when primitive is None
  std::string name;
  std::vector<XDimension> dims;  // empty: not an array
};

struct XTemplate {
  std::string name;
  GUID id{};
  std::vector<XTemplateMember> members;
  bool open = false;
  std::vector<std::string> restrictions;  // names of allowed child templates
};

class XTemplateRegistry {
 public:
  XTemplateRegistry() = default;  // empty
  // The standard templates, parsed once; copy it to start a registry of your own.
  static const XTemplateRegistry& Standard();
  std::shared_ptr<const XTemplate> Find(const std::string& name) const;
  // A later declaration of a name replaces the earlier one.
  void Add(std::shared_ptr<const XTemplate> t);

 private:
  std::map<std::string, std::shared_ptr<const XTemplate>> m_templates;
};

struct XDataNode;

struct XChild {
  std::unique_ptr<XDataNode> data;  // null for a reference
  std::string refName;
  GUID refId{};
  bool refHasId = false;
};

struct XMemberSlot {
  std::string name;
  size_t offset = 0;
  size_t size = 0;
};

struct XDataNode {
  std::shared_ptr<const XTemplate> type;
  std::string name;
  GUID id{};
  bool hasId = false;
  std::vector<uint64_t> storage;  // 8-aligned data
  size_t dataSize = 0;
  std::vector<std::unique_ptr<std::string>> strings;  // owners of the char pointers in the data
  std::vector<XMemberSlot> members;
  std::vector<XChild> children;

  const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(storage.data()); }
};

struct XDocument {
  std::vector<std::unique_ptr<XDataNode>> topLevel;
  // Every named or identified object in file order, for resolving references.
  std::vector<const XDataNode*> all;

  const XDataNode* FindByName(const std::string& name) const;
  const XDataNode* FindById(const GUID& id) const;
};

}  // namespace xfile
