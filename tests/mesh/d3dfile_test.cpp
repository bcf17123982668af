// Frames and .x files: the tree, transforms that accumulate, names without case and
// files that fail.
#include "shell/d3dfile.h"

#include <unistd.h>

#include <cstring>

#include "mesh_fixture.h"
#include "shell/dxutil_media.h"

using mesh_test::MeshFixture;

namespace {

std::string Matrix(float x, float y, float z) {
  char text[200];
  std::snprintf(text, sizeof(text),
                "FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, %g,%g,%g,1.0;; }\n", x, y,
                z);
  return text;
}

std::string Mesh(const char* name, float alpha = 1.0f) {
  char text[600];
  std::snprintf(text, sizeof(text),
                "Mesh %s {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n"
                " MeshMaterialList { 1; 1; 0;;\n"
                "  Material { 1.0;1.0;1.0;%g;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n }\n}\n",
                name, alpha);
  return text;
}

const std::string kHeader = "xof 0302txt 0032\n";

// A at (1,0,0) with child A1 at (0,1,0) holding a mesh and child A2 (identity) holding
// a half-transparent mesh; then a top-level frame B.
std::string TreeFile() {
  return kHeader + "Frame A {\n" + Matrix(1, 0, 0) + "Frame A1 {\n" + Matrix(0, 1, 0) + Mesh("TriA1") + "}\n" +
         "Frame A2 {\n" + Mesh("TriA2", 0.5f) + "}\n}\nFrame B {\n}\n";
}

float Tx(const D3DMATRIX& m) { return m._41; }
float Ty(const D3DMATRIX& m) { return m._42; }

// A data object whose data is shorter than it claims to be of its type.
class ShortMatrixData : public IDirectXFileData {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetName(LPSTR, LPDWORD) override { return E_FAIL; }
  HRESULT GetId(LPGUID) override { return E_FAIL; }
  HRESULT GetData(LPCSTR, DWORD* size, void** data) override {
    *size = sizeof(values);
    *data = values;
    return S_OK;
  }
  HRESULT GetType(const GUID** type) override {
    *type = &TID_D3DRMFrameTransformMatrix;
    return S_OK;
  }
  HRESULT GetNextObject(LPDIRECTXFILEOBJECT*) override { return DXFILEERR_NOMOREOBJECTS; }
  HRESULT AddDataObject(LPDIRECTXFILEDATA) override { return E_FAIL; }
  HRESULT AddDataReference(LPCSTR, const GUID*) override { return E_FAIL; }
  HRESULT AddBinaryObject(LPCSTR, const GUID*, LPCSTR, LPVOID, DWORD) override { return E_FAIL; }
  float values[4] = {9, 9, 9, 9};
};

}  // namespace

class FrameTest : public MeshFixture {};

TEST_F(FrameTest, TreeOrderNamesAndAccumulatedTransforms) {
  WriteFile("tree.x", TreeFile());
  CD3DFile file;
  ASSERT_EQ(S_OK, file.Create(device, Path("tree.x").c_str()));
  // Each new frame goes in front: B, then A; A's children A2, then A1.
  ASSERT_NE(nullptr, file.m_pChild);
  EXPECT_STREQ("B", file.m_pChild->m_strName);
  ASSERT_NE(nullptr, file.m_pChild->m_pNext);
  CD3DFrame* a = file.m_pChild->m_pNext;
  EXPECT_STREQ("A", a->m_strName);
  EXPECT_FLOAT_EQ(1.0f, Tx(a->m_mat));
  EXPECT_EQ(file.FindFrame("A2"), a->m_pChild);

  // Names are found whatever their case.
  CD3DFrame* a1 = file.FindFrame("a1");
  ASSERT_NE(nullptr, a1);
  EXPECT_STREQ("A1", a1->m_strName);
  EXPECT_FLOAT_EQ(1.0f, Ty(a1->m_mat));
  EXPECT_EQ(a1->m_pMesh, file.FindMesh("TRIA1"));
  EXPECT_EQ(nullptr, file.FindFrame("C"));
  int meshes = 0;
  file.EnumMeshes([](CD3DMesh*, void* count) -> BOOL { return ++*static_cast<int*>(count) > 0; }, &meshes);
  EXPECT_EQ(2, meshes);

  file.RestoreDeviceObjects(device);
  D3DXMATRIX kept;
  D3DXMatrixTranslation(&kept, 0, 0, 5);
  device->SetTransform(D3DTS_WORLD, &kept);
  device->ClearCalls();
  ASSERT_EQ(S_OK, file.Render(device));
  // A2's mesh is half transparent, so the opaque pass draws A1 at (1, 1) and the
  // blended pass A2 at (1, 0), both on top of the kept (0, 0, 5).
  ASSERT_EQ(2u, device->worlds.size());
  EXPECT_FLOAT_EQ(1.0f, Tx(device->worlds[0]));
  EXPECT_FLOAT_EQ(1.0f, Ty(device->worlds[0]));
  EXPECT_FLOAT_EQ(5.0f, device->worlds[0]._43);
  EXPECT_FLOAT_EQ(1.0f, Tx(device->worlds[1]));
  EXPECT_FLOAT_EQ(0.0f, Ty(device->worlds[1]));
  EXPECT_FLOAT_EQ(5.0f, device->worlds[1]._43);
  EXPECT_FLOAT_EQ(5.0f, device->Transform(D3DTS_WORLD)._43);
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_ALPHABLENDENABLE));

  file.InvalidateDeviceObjects();
  file.Destroy();
  EXPECT_EQ(nullptr, file.m_pChild);
}

// A child's transform acts in its parent's space: (0, 1, 0) under a quarter turn about
// Z lands at (-1, 0, 0).
TEST_F(FrameTest, ChildFramesAreTransformedByTheirTurnedParent) {
  const std::string quarterTurnZ =
      "FrameTransformMatrix { 0.0,1.0,0.0,0.0, -1.0,0.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }\n";
  WriteFile("turned.x", kHeader + "Frame T {\n" + quarterTurnZ + "Frame C {\n" + Matrix(0, 1, 0) + Mesh("TriC") +
                            "}\n}\n");
  CD3DFile file;
  ASSERT_EQ(S_OK, file.Create(device, Path("turned.x").c_str()));
  file.RestoreDeviceObjects(device);
  ASSERT_EQ(S_OK, file.Render(device));
  ASSERT_EQ(1u, device->worlds.size());
  const D3DMATRIX& world = device->worlds[0];
  EXPECT_FLOAT_EQ(-1.0f, Tx(world)) << "child placed outside its parent's turn";
  EXPECT_NEAR(0.0f, Ty(world), 1e-6f);
  EXPECT_NEAR(1.0f, world._12, 1e-6f);  // the turn itself
  file.InvalidateDeviceObjects();
  file.Destroy();
}

TEST_F(FrameTest, DataReferencesInFramesAreAccepted) {
  WriteFile("ref.x", kHeader + Mesh("Shared") + "Frame F {\n" + Matrix(2, 0, 0) + "{ Shared }\n}\n");
  CD3DFile file;
  ASSERT_EQ(S_OK, file.Create(device, Path("ref.x").c_str()));
  CD3DFrame* f = file.FindFrame("f");
  ASSERT_NE(nullptr, f);
  EXPECT_FLOAT_EQ(2.0f, Tx(f->m_mat));
  // The top-level mesh went to the root.
  EXPECT_NE(nullptr, file.FindMesh("shared"));
  file.Destroy();
}

TEST_F(FrameTest, FilesThatCannotLoadFail) {
  CD3DFile missing;
  EXPECT_TRUE(FAILED(missing.Create(device, Path("absent.x").c_str())));

  WriteFile("two.x", kHeader + "Frame F {\n" + Mesh("One") + Mesh("Two") + "}\n");
  CD3DFile two;
  EXPECT_EQ(E_FAIL, two.Create(device, Path("two.x").c_str()));
  EXPECT_NE(nullptr, two.FindFrame("F"));  // what was read stays
  two.Destroy();

  // A face that names a vertex the mesh does not have.
  WriteFile("bad.x", kHeader + "Frame G {\nMesh Bad {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n"
                               " 1;\n 3;0,1,7;;\n}\n}\n");
  CD3DFile bad;
  EXPECT_EQ(E_FAIL, bad.Create(device, Path("bad.x").c_str()));
  bad.Destroy();

  ShortMatrixData shortMatrix;
  CD3DFrame parent("P");
  EXPECT_EQ(E_FAIL, bad.LoadFrame(device, &shortMatrix, &parent));
  EXPECT_FLOAT_EQ(1.0f, parent.m_mat._11);
  EXPECT_FLOAT_EQ(0.0f, Tx(parent.m_mat));
}

// A bare name missing from the working folder is looked for beside the program: from
// the temporary folder, the test program's own name finds the program's file.
TEST_F(FrameTest, MediaSearchFindsABareNameBesideTheProgram) {
  char exe[4096];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(length, 0);
  const std::string self(exe, static_cast<size_t>(length));
  const std::string name = self.substr(self.rfind('/') + 1);
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
  ASSERT_EQ(0, chdir(dir.c_str()));
  std::string path, subPath;
  const bool found = DXUtil_FindMediaFile(name.c_str(), &path);
  const bool foundInSub = DXUtil_FindMediaFile(("sub/" + name).c_str(), &subPath);
  ASSERT_EQ(0, chdir(cwd));
  EXPECT_TRUE(found);
  EXPECT_EQ(self, path);
  EXPECT_FALSE(foundInSub);  // a name with a folder is taken as given
  EXPECT_EQ("", subPath);
}

TEST_F(FrameTest, MeshFromAnXFileByName) {
  WriteFile("strip.x", xfile::WriteXText(mesh_test::Strip()));
  CD3DMesh mesh("Strip");
  ASSERT_EQ(S_OK, mesh.Create(device, Path("strip.x").c_str()));
  EXPECT_EQ(3u, mesh.m_dwNumMaterials);
  ASSERT_NE(nullptr, mesh.GetLocalMesh());
  EXPECT_EQ(12u, mesh.GetLocalMesh()->GetNumFaces());
  device->ClearCalls();
  // Alpha 0.5, 0.75 and 1.0: one opaque subset, two blended. The unsorted copy draws
  // each subset as its two runs of faces.
  EXPECT_EQ(S_OK, mesh.Render(device, true, false));
  EXPECT_EQ(1u, device->CallCount("SetMaterial"));
  EXPECT_EQ(2u, device->worlds.size());
  EXPECT_EQ(S_OK, mesh.Render(device, false, true));
  EXPECT_EQ(3u, device->CallCount("SetMaterial"));
  EXPECT_EQ(6u, device->worlds.size());
  CD3DMesh absent("Absent");
  EXPECT_TRUE(FAILED(absent.Create(device, Path("absent.x").c_str())));
  EXPECT_EQ(E_FAIL, absent.Render(device));
}
