// Reads a whole .x file: checks the header, inflates compressed bodies, adds declared
// templates to the registry and builds the data-object tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/xfile/xdocument.h"
#include "platform/xfile/xtoken_reader.h"

namespace xfile {

class XParser {
 public:
  explicit XParser(XTemplateRegistry& registry) : m_registry(registry) {}

  // doc may be null when only templates are wanted (data objects are then checked and dropped).
  // Returns S_OK or a DXFILEERR_* code; on failure doc holds nothing.
  HRESULT Parse(const uint8_t* data, size_t size, XDocument* doc);

 private:
  HRESULT ParseBody(XTokenReader& reader, XDocument* doc);
  HRESULT ParseTemplate(XTokenReader& reader);
  HRESULT ParseDataObject(XTokenReader& reader, const std::string& typeName, XDocument* doc, int depth,
                          std::unique_ptr<XDataNode>& out);
  HRESULT ReadValues(XTokenReader& reader, const XTemplate& type, XDataNode& node, std::vector<uint8_t>& out,
                     int depth, bool topLevel);
  HRESULT ReadPrimitive(XTokenReader& reader, XPrimitive primitive, XDataNode& node, std::vector<uint8_t>& out,
                        int64_t* integerValue);

  XTemplateRegistry& m_registry;
  size_t m_work = 0;
};

}  // namespace xfile
