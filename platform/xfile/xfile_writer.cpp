#include "platform/xfile/xfile_writer.h"

#include <cstdio>
#include <cstring>

#include "platform/xfile/xdecompress.h"

namespace xfile {

namespace {

std::string Number(float v) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(v));
  return text;
}

// Values of one array, "a;b;c;," per element, closed by ";;" after the last one.
template <typename Element, typename Format>
void TextArray(std::string& out, const std::vector<Element>& items, Format format) {
  for (size_t i = 0; i < items.size(); ++i) {
    out += "  " + format(items[i]) + (i + 1 < items.size() ? ",\n" : ";\n");
  }
  if (items.empty()) out += "  ;\n";
}

std::string TextFace(const std::vector<uint32_t>& face) {
  std::string s = std::to_string(face.size()) + ";";
  for (size_t k = 0; k < face.size(); ++k) s += (k ? "," : "") + std::to_string(face[k]);
  return s + ";";
}

class BinaryTokens {
 public:
  explicit BinaryTokens(bool doubles) : m_doubles(doubles) {}
  void Token(uint16_t t) { Raw(&t, 2); }
  void Name(const std::string& s) {
    Token(1);
    U32(static_cast<uint32_t>(s.size()));
    Raw(s.data(), s.size());
  }
  void String(const std::string& s) {
    Token(2);
    U32(static_cast<uint32_t>(s.size()));
    Raw(s.data(), s.size());
    Token(20);  // ';'
  }
  void Integers(const std::vector<uint32_t>& v) {
    Token(6);
    U32(static_cast<uint32_t>(v.size()));
    for (uint32_t x : v) U32(x);
  }
  void Floats(const std::vector<float>& v) {
    Token(7);
    U32(static_cast<uint32_t>(v.size()));
    for (float f : v) {
      if (m_doubles) {
        double d = f;
        Raw(&d, 8);
      } else {
        Raw(&f, 4);
      }
    }
  }
  void Open(const std::string& type, const std::string& name = std::string()) {
    Name(type);
    if (!name.empty()) Name(name);
    Token(10);
  }
  void Close() { Token(11); }
  std::vector<uint8_t> bytes;

 private:
  void U32(uint32_t v) { Raw(&v, 4); }
  void Raw(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }
  bool m_doubles;
};

std::vector<uint32_t> FaceList(const std::vector<std::vector<uint32_t>>& faces) {
  std::vector<uint32_t> v{static_cast<uint32_t>(faces.size())};
  for (const auto& f : faces) {
    v.push_back(static_cast<uint32_t>(f.size()));
    v.insert(v.end(), f.begin(), f.end());
  }
  return v;
}

}  // namespace

std::string WriteXText(const XMeshData& mesh) {
  std::string out = "xof 0303txt 0032\n\nMesh " + mesh.name + (mesh.name.empty() ? "{\n" : " {\n");
  out += "  " + std::to_string(mesh.positions.size()) + ";\n";
  TextArray(out, mesh.positions, [](const std::array<float, 3>& p) {
    return Number(p[0]) + ";" + Number(p[1]) + ";" + Number(p[2]) + ";";
  });
  out += "  " + std::to_string(mesh.faces.size()) + ";\n";
  TextArray(out, mesh.faces, TextFace);
  if (!mesh.normals.empty()) {
    out += "  MeshNormals {\n  " + std::to_string(mesh.normals.size()) + ";\n";
    TextArray(out, mesh.normals, [](const std::array<float, 3>& p) {
      return Number(p[0]) + ";" + Number(p[1]) + ";" + Number(p[2]) + ";";
    });
    out += "  " + std::to_string(mesh.normalFaces.size()) + ";\n";
    TextArray(out, mesh.normalFaces, TextFace);
    out += "  }\n";
  }
  if (!mesh.texcoords.empty()) {
    out += "  MeshTextureCoords {\n  " + std::to_string(mesh.texcoords.size()) + ";\n";
    TextArray(out, mesh.texcoords,
              [](const std::array<float, 2>& t) { return Number(t[0]) + ";" + Number(t[1]) + ";"; });
    out += "  }\n";
  }
  if (!mesh.materials.empty()) {
    out += "  MeshMaterialList {\n  " + std::to_string(mesh.materials.size()) + ";\n  " +
           std::to_string(mesh.faceMaterials.size()) + ";\n";
    TextArray(out, mesh.faceMaterials, [](uint32_t m) { return std::to_string(m); });
    for (const XMaterialData& m : mesh.materials) {
      out += "  Material {\n   " + Number(m.diffuse[0]) + ";" + Number(m.diffuse[1]) + ";" + Number(m.diffuse[2]) +
             ";" + Number(m.diffuse[3]) + ";;\n   " + Number(m.power) + ";\n   " + Number(m.specular[0]) + ";" +
             Number(m.specular[1]) + ";" + Number(m.specular[2]) + ";;\n   " + Number(m.emissive[0]) + ";" +
             Number(m.emissive[1]) + ";" + Number(m.emissive[2]) + ";;\n";
      if (!m.textureFilename.empty()) out += "   TextureFilename { \"" + m.textureFilename + "\"; }\n";
      out += "  }\n";
    }
    out += "  }\n";
  }
  out += "}\n";
  return out;
}

std::vector<uint8_t> WriteXBinary(const XMeshData& mesh, bool doublePrecision) {
  BinaryTokens t(doublePrecision);
  const char* header = doublePrecision ? "xof 0303bin 0064" : "xof 0303bin 0032";
  t.bytes.assign(header, header + 16);
  t.Open("Mesh", mesh.name);
  t.Integers({static_cast<uint32_t>(mesh.positions.size())});
  std::vector<float> floats;
  for (const auto& p : mesh.positions) floats.insert(floats.end(), p.begin(), p.end());
  t.Floats(floats);
  t.Integers(FaceList(mesh.faces));
  if (!mesh.normals.empty()) {
    t.Open("MeshNormals");
    t.Integers({static_cast<uint32_t>(mesh.normals.size())});
    floats.clear();
    for (const auto& n : mesh.normals) floats.insert(floats.end(), n.begin(), n.end());
    t.Floats(floats);
    t.Integers(FaceList(mesh.normalFaces));
    t.Close();
  }
  if (!mesh.texcoords.empty()) {
    t.Open("MeshTextureCoords");
    t.Integers({static_cast<uint32_t>(mesh.texcoords.size())});
    floats.clear();
    for (const auto& c : mesh.texcoords) floats.insert(floats.end(), c.begin(), c.end());
    t.Floats(floats);
    t.Close();
  }
  if (!mesh.materials.empty()) {
    t.Open("MeshMaterialList");
    std::vector<uint32_t> list{static_cast<uint32_t>(mesh.materials.size()),
                               static_cast<uint32_t>(mesh.faceMaterials.size())};
    list.insert(list.end(), mesh.faceMaterials.begin(), mesh.faceMaterials.end());
    t.Integers(list);
    for (const XMaterialData& m : mesh.materials) {
      t.Open("Material");
      t.Floats({m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3], m.power, m.specular[0], m.specular[1],
                m.specular[2], m.emissive[0], m.emissive[1], m.emissive[2]});
      if (!m.textureFilename.empty()) {
        t.Open("TextureFilename");
        t.String(m.textureFilename);
        t.Close();
      }
      t.Close();
    }
    t.Close();
  }
  t.Close();
  return t.bytes;
}

std::vector<uint8_t> CompressXFile(const std::vector<uint8_t>& file) {
  if (file.size() < 16 || std::memcmp(file.data(), "xof ", 4) != 0) return {};
  const char* format = nullptr;
  if (std::memcmp(file.data() + 8, "txt ", 4) == 0) format = "tzip";
  else if (std::memcmp(file.data() + 8, "bin ", 4) == 0) format = "bzip";
  else return {};
  std::vector<uint8_t> out(file.begin(), file.begin() + 16);
  std::memcpy(out.data() + 8, format, 4);
  const std::vector<uint8_t> body = DeflateMszipBody(file.data() + 16, file.size() - 16);
  if (body.empty()) return {};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> WriteXCompressed(const XMeshData& mesh, bool binary) {
  if (binary) return CompressXFile(WriteXBinary(mesh));
  const std::string text = WriteXText(mesh);
  return CompressXFile(std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace xfile
