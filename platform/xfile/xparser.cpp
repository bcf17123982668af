#include "platform/xfile/xparser.h"

#include <cstring>
#include <map>

#include "platform/xfile/dxfile.h"
#include "platform/xfile/xdecompress.h"

namespace xfile {

namespace {

constexpr int kMaxDepth = 64;                             // nesting of objects and of template members
constexpr size_t kMaxObjectBytes = 256u * 1024u * 1024u;  // laid-out data of one object

XPrimitive PrimitiveOf(XToken t) {
  switch (t) {
    case XToken::Word: return XPrimitive::Word;
    case XToken::Dword: return XPrimitive::Dword;
    case XToken::FloatType: return XPrimitive::Float;
    case XToken::Double: return XPrimitive::Double;
    case XToken::Char: return XPrimitive::Char;
    case XToken::Uchar: return XPrimitive::Uchar;
    case XToken::Sword: return XPrimitive::Sword;
    case XToken::Sdword: return XPrimitive::Sdword;
    case XToken::String8:
    case XToken::Cstring:
    case XToken::Unicode: return XPrimitive::String;
    default: return XPrimitive::None;
  }
}

bool IsIntegerPrimitive(XPrimitive p) {
  return p == XPrimitive::Word || p == XPrimitive::Dword || p == XPrimitive::Char || p == XPrimitive::Uchar ||
         p == XPrimitive::Sword || p == XPrimitive::Sdword;
}

template <typename T>
void Append(std::vector<uint8_t>& out, T value) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.insert(out.end(), bytes, bytes + sizeof(T));
}

// True when one element of the type is sure to take at least one value from the file,
// so that an array of it is bounded by the bytes left. Memoised by name; a template met
// again while its own answer is pending counts as taking nothing.
bool ConsumesInput(const XTemplateRegistry& registry, const XTemplate& t, std::map<std::string, int>& memo) {
  auto it = memo.find(t.name);
  if (it != memo.end()) return it->second == 1;
  memo[t.name] = 0;
  bool result = false;
  for (const XTemplateMember& m : t.members) {
    bool fixedNonEmpty = true;
    for (const XDimension& d : m.dims) {
      if (!d.memberName.empty() || d.fixed == 0) fixedNonEmpty = false;
    }
    if (!fixedNonEmpty) continue;
    if (m.primitive != XPrimitive::None) {
      result = true;
      break;
    }
    std::shared_ptr<const XTemplate> sub = registry.Find(m.typeName);
    if (sub && ConsumesInput(registry, *sub, memo)) {
      result = true;
      break;
    }
  }
  memo[t.name] = result ? 1 : 0;
  return result;
}

}  // namespace

size_t PrimitiveSize(XPrimitive p) {
  switch (p) {
    case XPrimitive::Word:
    case XPrimitive::Sword: return 2;
    case XPrimitive::Dword:
    case XPrimitive::Sdword:
    case XPrimitive::Float: return 4;
    case XPrimitive::Double: return 8;
    case XPrimitive::Char:
    case XPrimitive::Uchar: return 1;
    case XPrimitive::String: return sizeof(char*);
    case XPrimitive::None: return 0;
  }
  return 0;
}

HRESULT XParser::Parse(const uint8_t* data, size_t size, XDocument* doc) {
  if (!data || size < 16 || std::memcmp(data, "xof ", 4) != 0) return DXFILEERR_BADFILETYPE;
  if (std::memcmp(data + 4, "03", 2) != 0) return DXFILEERR_BADFILEVERSION;
  bool binary = false, compressed = false;
  if (std::memcmp(data + 8, "txt ", 4) == 0) {
  } else if (std::memcmp(data + 8, "bin ", 4) == 0) {
    binary = true;
  } else if (std::memcmp(data + 8, "tzip", 4) == 0) {
    compressed = true;
  } else if (std::memcmp(data + 8, "bzip", 4) == 0) {
    binary = compressed = true;
  } else {
    return DXFILEERR_BADFILETYPE;
  }
  bool doubles = false;
  if (std::memcmp(data + 12, "0064", 4) == 0) doubles = true;
  else if (std::memcmp(data + 12, "0032", 4) != 0) return DXFILEERR_BADFILEFLOATSIZE;

  std::vector<uint8_t> inflated;
  const uint8_t* body = data + 16;
  size_t bodySize = size - 16;
  if (compressed) {
    if (!InflateMszipBody(body, bodySize, inflated)) return DXFILEERR_BADFILECOMPRESSIONTYPE;
    body = inflated.data();
    bodySize = inflated.size();
  }
  // Every value read and every nested template entered costs one unit of work: members
  // that take nothing from the file cannot make a small file run for ever.
  m_work = 64 * bodySize + 65536;
  XTokenReader reader(body, bodySize, binary, doubles);
  XDocument parsed;
  HRESULT hr = ParseBody(reader, doc ? &parsed : nullptr);
  if (FAILED(hr)) return hr;
  if (doc) *doc = std::move(parsed);
  return S_OK;
}

HRESULT XParser::ParseBody(XTokenReader& reader, XDocument* doc) {
  for (;;) {
    XToken t = reader.Next();
    switch (t) {
      case XToken::End: return S_OK;
      case XToken::Template: {
        HRESULT hr = ParseTemplate(reader);
        if (FAILED(hr)) return hr;
        break;
      }
      case XToken::Name: {
        std::unique_ptr<XDataNode> node;
        HRESULT hr = ParseDataObject(reader, reader.Text(), doc, 0, node);
        if (FAILED(hr)) return hr;
        if (doc) doc->topLevel.push_back(std::move(node));
        break;
      }
      case XToken::Semicolon:
      case XToken::Comma: break;
      default: return DXFILEERR_PARSEERROR;
    }
  }
}

HRESULT XParser::ParseTemplate(XTokenReader& reader) {
  auto t = std::make_shared<XTemplate>();
  if (reader.Next() != XToken::Name) return DXFILEERR_PARSEERROR;
  t->name = reader.Text();
  if (reader.Next() != XToken::OBrace) return DXFILEERR_PARSEERROR;
  if (reader.Next() != XToken::Guid) return DXFILEERR_PARSEERROR;
  t->id = reader.GuidValue();
  for (;;) {
    XToken tok = reader.Next();
    if (tok == XToken::CBrace) break;
    if (tok == XToken::OBracket) {
      // Restrictions: [...] or [Name <guid>, Name, ...]
      if (reader.Peek() == XToken::Dot) {
        for (int i = 0; i < 3; ++i) {
          if (reader.Next() != XToken::Dot) return DXFILEERR_PARSEERROR;
        }
        if (reader.Next() != XToken::CBracket) return DXFILEERR_PARSEERROR;
        t->open = true;
        continue;
      }
      for (;;) {
        XToken n = reader.Next();
        if (n == XToken::Name) t->restrictions.push_back(reader.Text());
        else if (n == XToken::Binary) t->restrictions.push_back("BINARY");
        else return DXFILEERR_PARSEERROR;
        if (reader.Peek() == XToken::Guid) reader.Next();
        XToken sep = reader.Next();
        if (sep == XToken::CBracket) break;
        if (sep != XToken::Comma) return DXFILEERR_PARSEERROR;
      }
      continue;
    }
    XTemplateMember m;
    bool isArray = false;
    if (tok == XToken::Array) {
      isArray = true;
      tok = reader.Next();
    }
    m.primitive = PrimitiveOf(tok);
    if (m.primitive == XPrimitive::None) {
      if (tok != XToken::Name) return DXFILEERR_PARSEERROR;
      if (reader.Text() == t->name) return DXFILEERR_PARSEERROR;  // a template cannot hold itself
      if (!m_registry.Find(reader.Text())) return DXFILEERR_NOTEMPLATE;
      m.typeName = reader.Text();
    }
    if (reader.Next() != XToken::Name) return DXFILEERR_PARSEERROR;
    m.name = reader.Text();
    while (reader.Peek() == XToken::OBracket) {
      reader.Next();
      XDimension d;
      XToken size = reader.Next();
      if (size == XToken::Integer) {
        if (reader.IntegerValue() < 0 || reader.IntegerValue() > 0x7fffffff) return DXFILEERR_BADARRAYSIZE;
        d.fixed = static_cast<uint32_t>(reader.IntegerValue());
      } else if (size == XToken::Name) {
        d.memberName = reader.Text();
        bool known = false;
        for (const XTemplateMember& earlier : t->members) {
          if (earlier.name == d.memberName && earlier.dims.empty() && IsIntegerPrimitive(earlier.primitive)) known = true;
        }
        if (!known) return DXFILEERR_BADARRAYSIZE;
      } else {
        return DXFILEERR_PARSEERROR;
      }
      if (reader.Next() != XToken::CBracket) return DXFILEERR_PARSEERROR;
      m.dims.push_back(d);
    }
    if (isArray != !m.dims.empty()) return DXFILEERR_PARSEERROR;
    if (reader.Next() != XToken::Semicolon) return DXFILEERR_PARSEERROR;
    t->members.push_back(std::move(m));
    if (t->members.size() > 4096) return DXFILEERR_PARSEERROR;
  }
  m_registry.Add(t);
  return S_OK;
}

HRESULT XParser::ReadPrimitive(XTokenReader& reader, XPrimitive primitive, XDataNode& node,
                               std::vector<uint8_t>& out, int64_t* integerValue) {
  if (m_work == 0) return DXFILEERR_PARSEERROR;
  --m_work;
  if (IsIntegerPrimitive(primitive)) {
    int64_t v = 0;
    if (!reader.ReadInteger(v)) return DXFILEERR_PARSEERROR;
    if (integerValue) *integerValue = v;
    switch (primitive) {
      case XPrimitive::Word:
      case XPrimitive::Sword: Append(out, static_cast<uint16_t>(v)); break;
      case XPrimitive::Char:
      case XPrimitive::Uchar: Append(out, static_cast<uint8_t>(v)); break;
      default: Append(out, static_cast<uint32_t>(v)); break;
    }
    return S_OK;
  }
  if (primitive == XPrimitive::Float || primitive == XPrimitive::Double) {
    double v = 0;
    if (!reader.ReadFloat(v)) return DXFILEERR_PARSEERROR;
    if (primitive == XPrimitive::Float) Append(out, static_cast<float>(v));
    else Append(out, v);
    return S_OK;
  }
  if (primitive == XPrimitive::String) {
    std::string s;
    if (!reader.ReadString(s)) return DXFILEERR_PARSEERROR;
    node.strings.push_back(std::make_unique<std::string>(std::move(s)));
    Append(out, node.strings.back()->c_str());
    return S_OK;
  }
  return DXFILEERR_BADTYPE;
}

HRESULT XParser::ReadValues(XTokenReader& reader, const XTemplate& type, XDataNode& node, std::vector<uint8_t>& out,
                            int depth, bool topLevel) {
  if (depth > kMaxDepth || m_work == 0) return DXFILEERR_PARSEERROR;
  --m_work;
  std::map<std::string, int64_t> counts;
  for (const XTemplateMember& m : type.members) {
    std::shared_ptr<const XTemplate> sub;
    if (m.primitive == XPrimitive::None) {
      sub = m_registry.Find(m.typeName);
      if (!sub) return DXFILEERR_NOTEMPLATE;
    }
    uint64_t count = 1;
    for (const XDimension& d : m.dims) {
      uint64_t n = d.fixed;
      if (!d.memberName.empty()) {
        auto it = counts.find(d.memberName);
        if (it == counts.end() || it->second < 0) return DXFILEERR_BADARRAYSIZE;
        n = static_cast<uint64_t>(it->second);
      }
      count *= n;
      // Every element takes at least one byte of the file: a larger count is a lie.
      if (count > reader.Remaining() + 1) return DXFILEERR_BADARRAYSIZE;
    }
    if (sub && count > 64) {
      std::map<std::string, int> memo;
      if (!ConsumesInput(m_registry, *sub, memo)) return DXFILEERR_BADARRAYSIZE;
    }
    const size_t start = out.size();
    for (uint64_t i = 0; i < count; ++i) {
      int64_t integerValue = 0;
      HRESULT hr = sub ? ReadValues(reader, *sub, node, out, depth + 1, false)
                       : ReadPrimitive(reader, m.primitive, node, out, &integerValue);
      if (FAILED(hr)) return hr;
      if (m.dims.empty() && !sub) counts[m.name] = integerValue;
      if (out.size() > kMaxObjectBytes) return DXFILEERR_BADALLOC;
    }
    if (topLevel) node.members.push_back(XMemberSlot{m.name, start, out.size() - start});
  }
  return S_OK;
}

HRESULT XParser::ParseDataObject(XTokenReader& reader, const std::string& typeName, XDocument* doc, int depth,
                                 std::unique_ptr<XDataNode>& out) {
  if (depth > kMaxDepth) return DXFILEERR_PARSEERROR;
  auto node = std::make_unique<XDataNode>();
  node->type = m_registry.Find(typeName);
  if (!node->type) return DXFILEERR_NOTEMPLATE;
  XToken t = reader.Next();
  if (t == XToken::Name) {
    node->name = reader.Text();
    t = reader.Next();
  }
  if (t == XToken::Guid) {
    node->id = reader.GuidValue();
    node->hasId = true;
    t = reader.Next();
  }
  if (t != XToken::OBrace) return DXFILEERR_PARSEERROR;
  if (reader.Peek() == XToken::Guid) {  // text files may put the id first inside the braces
    reader.Next();
    node->id = reader.GuidValue();
    node->hasId = true;
  }
  if (doc && (!node->name.empty() || node->hasId)) doc->all.push_back(node.get());

  std::vector<uint8_t> bytes;
  HRESULT hr = ReadValues(reader, *node->type, *node, bytes, depth, true);
  if (FAILED(hr)) return hr;
  node->dataSize = bytes.size();
  node->storage.assign((bytes.size() + 7) / 8, 0);
  if (!bytes.empty()) std::memcpy(node->storage.data(), bytes.data(), bytes.size());

  for (;;) {
    reader.SkipSeparators();
    XToken tok = reader.Next();
    if (tok == XToken::CBrace) break;
    if (tok == XToken::OBrace) {
      XChild ref;
      XToken r = reader.Next();
      if (r == XToken::Name) {
        ref.refName = reader.Text();
        r = reader.Next();
      }
      if (r == XToken::Guid) {
        ref.refId = reader.GuidValue();
        ref.refHasId = true;
        r = reader.Next();
      }
      if (r != XToken::CBrace || (ref.refName.empty() && !ref.refHasId)) return DXFILEERR_BADDATAREFERENCE;
      node->children.push_back(std::move(ref));
      continue;
    }
    if (tok != XToken::Name) return DXFILEERR_PARSEERROR;
    XChild child;
    hr = ParseDataObject(reader, reader.Text(), doc, depth + 1, child.data);
    if (FAILED(hr)) return hr;
    node->children.push_back(std::move(child));
  }
  out = std::move(node);
  return S_OK;
}

// ---------------------------------------------------------------------------------------

std::shared_ptr<const XTemplate> XTemplateRegistry::Find(const std::string& name) const {
  auto it = m_templates.find(name);
  return it == m_templates.end() ? nullptr : it->second;
}

void XTemplateRegistry::Add(std::shared_ptr<const XTemplate> t) { m_templates[t->name] = std::move(t); }

const XDataNode* XDocument::FindByName(const std::string& name) const {
  for (const XDataNode* n : all) {
    if (n->name == name) return n;
  }
  return nullptr;
}

const XDataNode* XDocument::FindById(const GUID& id) const {
  for (const XDataNode* n : all) {
    if (n->hasId && n->id == id) return n;
  }
  return nullptr;
}

}  // namespace xfile
