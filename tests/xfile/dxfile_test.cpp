#include "platform/xfile/dxfile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/xfile/sample_meshes.h"

namespace {

// Holds a reader and one opened file; releases both.
class OpenedFile {
 public:
  explicit OpenedFile(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {
    EXPECT_EQ(S_OK, DirectXFileCreate(&m_file));
    DXFILELOADMEMORY memory{m_bytes.data(), static_cast<DWORD>(m_bytes.size())};
    status = m_file->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &enumObject);
  }
  ~OpenedFile() {
    if (enumObject) enumObject->Release();
    m_file->Release();
  }
  HRESULT status;
  IDirectXFileEnumObject* enumObject = nullptr;

 private:
  std::vector<uint8_t> m_bytes;
  IDirectXFile* m_file = nullptr;
};

std::string NameOf(IDirectXFileObject* object) {
  DWORD size = 0;
  EXPECT_EQ(S_OK, object->GetName(nullptr, &size));
  std::string name(size, '\0');
  EXPECT_EQ(S_OK, object->GetName(&name[0], &size));
  name.resize(size ? size - 1 : 0);
  return name;
}

// Every child of a data object as data (references resolved), in order.
std::vector<IDirectXFileData*> Children(IDirectXFileData* data, std::vector<bool>* wasReference = nullptr) {
  std::vector<IDirectXFileData*> out;
  IDirectXFileObject* child = nullptr;
  while (SUCCEEDED(data->GetNextObject(&child))) {
    IDirectXFileData* d = nullptr;
    IDirectXFileDataReference* r = nullptr;
    if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&d)))) {
      out.push_back(d);
      if (wasReference) wasReference->push_back(false);
    } else if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&r)))) {
      EXPECT_EQ(S_OK, r->Resolve(&d));
      out.push_back(d);
      r->Release();
      if (wasReference) wasReference->push_back(true);
    }
    child->Release();
  }
  return out;
}

void ReleaseAll(std::vector<IDirectXFileData*>& items) {
  for (IDirectXFileData* d : items) d->Release();
  items.clear();
}

const GUID* TypeOf(IDirectXFileData* d) {
  const GUID* type = nullptr;
  EXPECT_EQ(S_OK, d->GetType(&type));
  return type;
}

// The Mesh object's data: counts and positions in the template layout.
void ExpectCubeLayout(IDirectXFileData* mesh) {
  DWORD size = 0;
  void* data = nullptr;
  ASSERT_EQ(S_OK, mesh->GetData(nullptr, &size, &data));
  // nVertices, 8 vectors, nFaces, 6 faces of (4 + 4 indices).
  ASSERT_EQ(4u + 8 * 12 + 4 + 6 * 20, size);
  const auto* bytes = static_cast<const uint8_t*>(data);
  DWORD count;
  std::memcpy(&count, bytes, 4);
  EXPECT_EQ(8u, count);
  float v7[3];
  std::memcpy(v7, bytes + 4 + 7 * 12, 12);
  EXPECT_EQ(1.0f, v7[0]);
  EXPECT_EQ(1.0f, v7[1]);
  EXPECT_EQ(1.0f, v7[2]);
  DWORD face1[5];
  std::memcpy(face1, bytes + 4 + 96 + 4 + 20, 20);
  EXPECT_EQ(4u, face1[0]);
  EXPECT_EQ(4u, face1[1]);
  EXPECT_EQ(6u, face1[4]);
  // One member alone.
  ASSERT_EQ(S_OK, mesh->GetData("nFaces", &size, &data));
  EXPECT_EQ(4u, size);
  std::memcpy(&count, data, 4);
  EXPECT_EQ(6u, count);
  ASSERT_EQ(S_OK, mesh->GetData("vertices", &size, &data));
  EXPECT_EQ(96u, size);
  EXPECT_EQ(DXFILEERR_NOTFOUND, mesh->GetData("nothing", &size, &data));
}

TEST(DirectXFile, TextBinaryDoubleAndCompressedFormsGiveTheSameData) {
  const xfile::XMeshData cube = xfile_test::Cube(true, true, true);
  const std::string text = xfile::WriteXText(cube);
  const std::vector<std::vector<uint8_t>> forms = {
      xfile_test::Bytes(text), xfile::WriteXBinary(cube), xfile::WriteXBinary(cube, true),
      xfile::WriteXCompressed(cube, true), xfile::WriteXCompressed(cube, false)};
  for (size_t i = 0; i < forms.size(); ++i) {
    SCOPED_TRACE(i);
    OpenedFile file(forms[i]);
    ASSERT_EQ(S_OK, file.status);
    IDirectXFileData* mesh = nullptr;
    ASSERT_EQ(S_OK, file.enumObject->GetNextDataObject(&mesh));
    EXPECT_EQ(TID_D3DRMMesh, *TypeOf(mesh));
    EXPECT_EQ("Cube", NameOf(mesh));
    ExpectCubeLayout(mesh);
    std::vector<IDirectXFileData*> children = Children(mesh);
    ASSERT_EQ(3u, children.size());
    EXPECT_EQ(TID_D3DRMMeshNormals, *TypeOf(children[0]));
    EXPECT_EQ(TID_D3DRMMeshTextureCoords, *TypeOf(children[1]));
    EXPECT_EQ(TID_D3DRMMeshMaterialList, *TypeOf(children[2]));
    std::vector<IDirectXFileData*> materials = Children(children[2]);
    ASSERT_EQ(3u, materials.size());
    std::vector<IDirectXFileData*> texture = Children(materials[2]);
    ASSERT_EQ(1u, texture.size());
    DWORD size = 0;
    void* data = nullptr;
    ASSERT_EQ(S_OK, texture[0]->GetData("filename", &size, &data));
    ASSERT_EQ(sizeof(char*), size);
    const char* name = nullptr;
    std::memcpy(&name, data, sizeof(name));
    EXPECT_STREQ("side.png", name);
    ReleaseAll(texture);
    ReleaseAll(materials);
    ReleaseAll(children);
    mesh->Release();
    EXPECT_EQ(DXFILEERR_NOMOREOBJECTS, file.enumObject->GetNextDataObject(&mesh));
    EXPECT_EQ(nullptr, mesh);
  }
}

TEST(DirectXFile, FramesNestAndReferencesResolve) {
  OpenedFile file(xfile_test::Bytes(xfile_test::FramesFile()));
  ASSERT_EQ(S_OK, file.status);
  std::vector<IDirectXFileData*> top;
  IDirectXFileData* d = nullptr;
  while (SUCCEEDED(file.enumObject->GetNextDataObject(&d))) top.push_back(d);
  ASSERT_EQ(3u, top.size());
  EXPECT_EQ(TID_D3DRMMaterial, *TypeOf(top[0]));
  EXPECT_EQ(TID_D3DRMFrame, *TypeOf(top[1]));
  EXPECT_EQ("A", NameOf(top[1]));

  std::vector<IDirectXFileData*> a = Children(top[1]);
  ASSERT_EQ(3u, a.size());
  EXPECT_EQ(TID_D3DRMFrameTransformMatrix, *TypeOf(a[0]));
  DWORD size = 0;
  void* data = nullptr;
  ASSERT_EQ(S_OK, a[0]->GetData(nullptr, &size, &data));
  ASSERT_EQ(64u, size);
  float m[16];
  std::memcpy(m, data, 64);
  EXPECT_EQ(1.0f, m[12]);
  EXPECT_EQ(0.0f, m[13]);
  EXPECT_EQ(1.0f, m[15]);
  EXPECT_EQ("A1", NameOf(a[1]));
  EXPECT_EQ("A2", NameOf(a[2]));
  IDirectXFileObject* none = nullptr;
  EXPECT_EQ(DXFILEERR_NOMOREOBJECTS, a[2]->GetNextObject(&none));

  std::vector<IDirectXFileData*> a1 = Children(a[1]);
  ASSERT_EQ(2u, a1.size());
  EXPECT_EQ(TID_D3DRMMesh, *TypeOf(a1[1]));
  std::vector<IDirectXFileData*> meshChildren = Children(a1[1]);
  ASSERT_EQ(1u, meshChildren.size());
  std::vector<bool> wasReference;
  std::vector<IDirectXFileData*> materials = Children(meshChildren[0], &wasReference);
  ASSERT_EQ(1u, materials.size());
  EXPECT_TRUE(wasReference[0]);
  EXPECT_EQ("SharedRed", NameOf(materials[0]));
  ASSERT_EQ(S_OK, materials[0]->GetData("power", &size, &data));
  float power;
  std::memcpy(&power, data, 4);
  EXPECT_EQ(5.0f, power);

  // The file's own template: DWORD, string pointer, two WORDs, packed.
  std::vector<IDirectXFileData*> b = Children(top[2]);
  ASSERT_EQ(1u, b.size());
  const GUID custom = {0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
  EXPECT_EQ(custom, *TypeOf(b[0]));
  ASSERT_EQ(S_OK, b[0]->GetData(nullptr, &size, &data));
  ASSERT_EQ(4 + sizeof(char*) + 4, size);
  DWORD value;
  const char* label;
  WORD pair[2];
  std::memcpy(&value, data, 4);
  std::memcpy(&label, static_cast<char*>(data) + 4, sizeof(label));
  std::memcpy(pair, static_cast<char*>(data) + 4 + sizeof(label), 4);
  EXPECT_EQ(7u, value);
  EXPECT_STREQ("seven", label);
  EXPECT_EQ(3, pair[0]);
  EXPECT_EQ(4, pair[1]);

  // Data stays valid after the enumerator is gone.
  IDirectXFileData* byName = nullptr;
  ASSERT_EQ(S_OK, file.enumObject->GetDataObjectByName("Tri", &byName));
  EXPECT_EQ(TID_D3DRMMesh, *TypeOf(byName));
  byName->Release();

  ReleaseAll(b);
  ReleaseAll(materials);
  ReleaseAll(meshChildren);
  ReleaseAll(a1);
  ReleaseAll(a);
  ReleaseAll(top);
}

TEST(DirectXFile, QueryInterfaceAndNames) {
  OpenedFile file(xfile_test::Bytes(xfile_test::FramesFile()));
  ASSERT_EQ(S_OK, file.status);
  IDirectXFileData* material = nullptr;
  ASSERT_EQ(S_OK, file.enumObject->GetNextDataObject(&material));
  IDirectXFileDataReference* ref = nullptr;
  EXPECT_EQ(E_NOINTERFACE, material->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)));
  EXPECT_EQ(nullptr, ref);
  IDirectXFileBinary* binary = nullptr;
  EXPECT_EQ(E_NOINTERFACE, material->QueryInterface(IID_IDirectXFileBinary, reinterpret_cast<void**>(&binary)));
  char small[4];
  DWORD size = sizeof(small);
  EXPECT_EQ(DXFILEERR_BADVALUE, material->GetName(small, &size));  // "SharedRed" does not fit
  std::vector<IDirectXFileData*> children = Children(material);
  ASSERT_EQ(1u, children.size());
  size = 0;
  ASSERT_EQ(S_OK, children[0]->GetName(nullptr, &size));
  EXPECT_EQ(1u, size);  // unnamed: just the terminator
  ReleaseAll(children);
  EXPECT_EQ(0u, material->Release());
}

TEST(DirectXFile, FromFileAndRegisteredTemplates) {
  IDirectXFile* reader = nullptr;
  ASSERT_EQ(S_OK, DirectXFileCreate(&reader));
  EXPECT_EQ(S_OK, reader->RegisterTemplates(const_cast<unsigned char*>(D3DRM_XTEMPLATES), D3DRM_XTEMPLATE_BYTES));
  const std::string extra = "xof 0303txt 0032 template Pair { <AAAAAAAA-0000-0000-0000-000000000001> FLOAT a; FLOAT b; }";
  EXPECT_EQ(S_OK, reader->RegisterTemplates(const_cast<char*>(extra.data()), static_cast<DWORD>(extra.size())));
  const std::string user = "xof 0303txt 0032 Pair P { 1.5; 2.5; }";
  DXFILELOADMEMORY memory{const_cast<char*>(user.data()), static_cast<DWORD>(user.size())};
  IDirectXFileEnumObject* e = nullptr;
  ASSERT_EQ(S_OK, reader->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &e));
  IDirectXFileData* p = nullptr;
  ASSERT_EQ(S_OK, e->GetNextDataObject(&p));
  DWORD size = 0;
  void* data = nullptr;
  ASSERT_EQ(S_OK, p->GetData("b", &size, &data));
  float b;
  std::memcpy(&b, data, 4);
  EXPECT_EQ(2.5f, b);
  p->Release();
  e->Release();

  // A damaged template block is refused and leaves the reader as it was.
  const std::string broken = "xof 0303txt 0032 template Broken { <AAAAAAAA-0000-0000-0000-000000000002> Missing m; }";
  EXPECT_NE(S_OK, reader->RegisterTemplates(const_cast<char*>(broken.data()), static_cast<DWORD>(broken.size())));

  char tmpl[] = "/tmp/xfile_test_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(tmpl));
  const std::string path = std::string(tmpl) + "/cube.x";
  const std::vector<uint8_t> bytes = xfile::WriteXBinary(xfile_test::Cube(false, false, false));
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  ASSERT_EQ(S_OK, reader->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, &e));
  ASSERT_EQ(S_OK, e->GetNextDataObject(&p));
  EXPECT_EQ(TID_D3DRMMesh, *TypeOf(p));
  p->Release();
  e->Release();
  std::remove(path.c_str());
  rmdir(tmpl);
  DXFILELOADRESOURCE resource{nullptr, "MISSING", reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(10))};
  EXPECT_EQ(DXFILEERR_RESOURCENOTFOUND, reader->CreateEnumObject(&resource, DXFILELOAD_FROMRESOURCE, &e));
  EXPECT_EQ(DXFILEERR_FILENOTFOUND,
            reader->CreateEnumObject(const_cast<char*>("/nonexistent/x.x"), DXFILELOAD_FROMFILE, &e));
  EXPECT_EQ(nullptr, e);
  reader->Release();
}

HRESULT OpenStatus(const std::string& text) {
  OpenedFile file(xfile_test::Bytes(text));
  return file.status;
}

TEST(DirectXFile, BadHeadersAndSyntaxAreRefused) {
  EXPECT_EQ(DXFILEERR_BADFILETYPE, OpenStatus("xof 03"));
  EXPECT_EQ(DXFILEERR_BADFILETYPE, OpenStatus("zof 0303txt 0032"));
  EXPECT_EQ(DXFILEERR_BADFILEVERSION, OpenStatus("xof 0201txt 0032"));
  EXPECT_EQ(DXFILEERR_BADFILETYPE, OpenStatus("xof 0303xml 0032"));
  EXPECT_EQ(DXFILEERR_BADFILEFLOATSIZE, OpenStatus("xof 0303txt 0016"));
  EXPECT_EQ(DXFILEERR_BADFILECOMPRESSIONTYPE, OpenStatus("xof 0303tzip0032garbage-after-header"));
  EXPECT_EQ(S_OK, OpenStatus("xof 0303txt 0032"));  // empty but valid
  EXPECT_EQ(DXFILEERR_NOTEMPLATE, OpenStatus("xof 0303txt 0032 Unknown { 1; }"));
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 Vector { 1; 2; }"));           // too few values
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 Vector { 1; 2; 3; 4; }"));     // too many
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 Vector { 1; 2; 3; "));         // unclosed
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 TextureFilename { 5; }"));     // number for a string
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 Frame { { } }"));              // empty reference
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 Mesh { 4000000000; }"));       // count beyond the file
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 template T { <00000000-0000-0000-0000-000000000001> T self; }"));
  EXPECT_NE(S_OK, OpenStatus("xof 0303txt 0032 template T { <00000000-0000-0000-0000-000000000001> "
                             "array DWORD a[n]; }"));  // size from an unknown member
  // Nesting beyond any real file.
  std::string deep = "xof 0303txt 0032 ";
  for (int i = 0; i < 200; ++i) deep += "Frame { ";
  for (int i = 0; i < 200; ++i) deep += "} ";
  EXPECT_NE(S_OK, OpenStatus(deep));
}

TEST(DirectXFile, UnresolvedReferenceFailsOnResolve) {
  OpenedFile file(xfile_test::Bytes("xof 0303txt 0032 Frame F { { Missing } }"));
  ASSERT_EQ(S_OK, file.status);
  IDirectXFileData* frame = nullptr;
  ASSERT_EQ(S_OK, file.enumObject->GetNextDataObject(&frame));
  IDirectXFileObject* child = nullptr;
  ASSERT_EQ(S_OK, frame->GetNextObject(&child));
  IDirectXFileDataReference* ref = nullptr;
  ASSERT_EQ(S_OK, child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)));
  EXPECT_EQ("Missing", NameOf(ref));
  IDirectXFileData* target = nullptr;
  EXPECT_EQ(DXFILEERR_BADDATAREFERENCE, ref->Resolve(&target));
  EXPECT_EQ(nullptr, target);
  ref->Release();
  child->Release();
  frame->Release();
}

}  // namespace

namespace {

TEST(DirectXFile, ReferencesByIdentifier) {
  const std::string text =
      "xof 0303txt 0032\n"
      "Vector First <11111111-2222-3333-4444-555555555555> { 1; 2; 3; }\n"
      "Vector Second { <AAAAAAAA-2222-3333-4444-555555555555> 4; 5; 6; }\n"
      "Frame F { { <11111111-2222-3333-4444-555555555555> } { Wrong <AAAAAAAA-2222-3333-4444-555555555555> } }\n";
  OpenedFile file(xfile_test::Bytes(text));
  ASSERT_EQ(S_OK, file.status);
  IDirectXFileData* d = nullptr;
  ASSERT_EQ(S_OK, file.enumObject->GetNextDataObject(&d));
  GUID id{};
  ASSERT_EQ(S_OK, d->GetId(&id));
  EXPECT_EQ(0x11111111u, id.Data1);
  d->Release();
  const GUID second = {0xaaaaaaaa, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
  ASSERT_EQ(S_OK, file.enumObject->GetDataObjectById(second, &d));
  EXPECT_EQ("Second", NameOf(d));
  d->Release();
  ASSERT_EQ(S_OK, file.enumObject->GetNextDataObject(&d));  // Second
  d->Release();
  ASSERT_EQ(S_OK, file.enumObject->GetNextDataObject(&d));
  // The identifier wins over the name.
  std::vector<IDirectXFileData*> targets = Children(d);
  ASSERT_EQ(2u, targets.size());
  EXPECT_EQ("First", NameOf(targets[0]));
  EXPECT_EQ("Second", NameOf(targets[1]));
  ReleaseAll(targets);
  d->Release();
}

}  // namespace

namespace {

// Templates that nest without ever taking a value would make a tiny file run for ever.
TEST(DirectXFile, TemplatesThatTakeNothingCannotStallTheReader) {
  std::string text = "xof 0303txt 0032\ntemplate L0 { <00000000-0000-0000-0000-000000000100> }\n";
  for (int i = 1; i <= 40; ++i) {
    char line[160];
    std::snprintf(line, sizeof(line), "template L%d { <00000000-0000-0000-0000-%012d> L%d a; L%d b; }\n", i, 200 + i,
                  i - 1, i - 1);
    text += line;
  }
  EXPECT_NE(S_OK, OpenStatus(text + "L40 { }"));
  EXPECT_NE(S_OK, OpenStatus(text + "template H { <00000000-0000-0000-0000-000000000300> DWORD n; array L40 items[n]; }\n"
                                    "H { 100; }"));
  EXPECT_EQ(S_OK, OpenStatus(text + "L3 { }"));  // a small one is fine
}

// The data of the first object of a file, as floats; none when the file or the object
// does not open.
std::vector<float> FloatsOfFirstObject(const std::vector<uint8_t>& bytes) {
  OpenedFile file(bytes);
  std::vector<float> floats;
  IDirectXFileData* object = nullptr;
  if (file.status != S_OK || file.enumObject->GetNextDataObject(&object) != S_OK) return floats;
  DWORD size = 0;
  void* data = nullptr;
  if (object->GetData(nullptr, &size, &data) == S_OK) {
    floats.resize(size / sizeof(float));
    std::memcpy(floats.data(), data, floats.size() * sizeof(float));
  }
  object->Release();
  return floats;
}

// A list's length is checked against the bytes left, so a float list that closes the
// file must be measured at the file's float size: 4 bytes in a "0032" file.
TEST(DirectXFile, ThirtyTwoBitBinaryFileEndingInAFloatListLoads) {
  std::vector<uint8_t> bytes = xfile_test::Bytes("xof 0303bin 0032");
  auto put = [&bytes](const void* value, size_t size) {
    const auto* p = static_cast<const uint8_t*>(value);
    bytes.insert(bytes.end(), p, p + size);
  };
  const uint16_t name = 1, open = 10, floatList = 7, close = 11;
  const uint32_t nameLength = 6, count = 3;
  const std::vector<float> values = {1.5f, -2.0f, 3.25f};
  put(&name, 2);
  put(&nameLength, 4);
  put("Vector", 6);
  put(&open, 2);
  put(&floatList, 2);
  put(&count, 4);
  put(values.data(), values.size() * sizeof(float));
  put(&close, 2);
  EXPECT_EQ(values, FloatsOfFirstObject(bytes)) << "a 32-bit float list at the end of the file was refused";
}

// Exporters write small and large values with exponents, either sign and either case.
TEST(DirectXFile, TextNumbersMayCarryExponents) {
  const std::vector<float> v =
      FloatsOfFirstObject(xfile_test::Bytes("xof 0303txt 0032\nVector V { 1.5e-3; -2E+2; 4e1; }\n"));
  ASSERT_EQ(3u, v.size()) << "a number with an exponent is refused";
  EXPECT_FLOAT_EQ(0.0015f, v[0]);
  EXPECT_FLOAT_EQ(-200.0f, v[1]);
  EXPECT_FLOAT_EQ(40.0f, v[2]);
}

}  // namespace
