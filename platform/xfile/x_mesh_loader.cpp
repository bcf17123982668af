#include "platform/xfile/x_mesh_loader.h"

#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace xfile {

namespace {

constexpr int kMaxFrameDepth = 64;
constexpr uint32_t kPendingDefault = 0xFFFFFFFFu;  // a face of a mesh that had no material list

// Reads the laid-out data of an object, never past its end.
class DataCursor {
 public:
  DataCursor(const void* data, DWORD size) : m_data(static_cast<const uint8_t*>(data)), m_size(data ? size : 0) {}
  bool U32(uint32_t& v) { return Take(&v, 4); }
  bool F32(float& v) { return Take(&v, 4) && std::isfinite(v); }
  bool Pointer(const char*& v) { return Take(&v, sizeof(v)); }
  size_t Left() const { return m_size - m_pos; }

 private:
  bool Take(void* out, size_t n) {
    if (m_size - m_pos < n) return false;
    std::memcpy(out, m_data + m_pos, n);
    m_pos += n;
    return true;
  }
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

struct Face {
  size_t first;  // into corners
  uint32_t count;
};

// Faces as stored in the data: count, then that many indices, each below limit.
bool ReadFaces(DataCursor& c, uint32_t limit, std::vector<Face>& faces, std::vector<uint32_t>& corners) {
  uint32_t numFaces = 0;
  if (!c.U32(numFaces) || numFaces > c.Left() / 4) return false;
  faces.reserve(numFaces);
  for (uint32_t f = 0; f < numFaces; ++f) {
    uint32_t n = 0;
    if (!c.U32(n) || n < 3 || n > c.Left() / 4) return false;
    faces.push_back({corners.size(), n});
    for (uint32_t k = 0; k < n; ++k) {
      uint32_t index = 0;
      if (!c.U32(index) || index >= limit) return false;
      corners.push_back(index);
    }
  }
  return true;
}

bool ReadFloats(DataCursor& c, uint32_t count, std::vector<float>& out) {
  if (count > c.Left() / 4) return false;
  out.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (!c.F32(out[i])) return false;
  }
  return true;
}

class ChildList {
 public:
  // The data objects among the children, references resolved.
  static HRESULT Collect(IDirectXFileData* parent, std::vector<IDirectXFileData*>& out) {
    for (;;) {
      IDirectXFileObject* child = nullptr;
      HRESULT hr = parent->GetNextObject(&child);
      if (hr == DXFILEERR_NOMOREOBJECTS) return S_OK;
      if (FAILED(hr) || !child) return FAILED(hr) ? hr : E_FAIL;
      IDirectXFileData* data = nullptr;
      IDirectXFileDataReference* ref = nullptr;
      if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&data)))) {
        out.push_back(data);
      } else if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)))) {
        hr = ref->Resolve(&data);
        ref->Release();
        if (FAILED(hr)) {
          child->Release();
          return hr;
        }
        out.push_back(data);
      }
      child->Release();
    }
  }
  ~ChildList() {
    for (IDirectXFileData* d : items) d->Release();
  }
  std::vector<IDirectXFileData*> items;
};

bool IsType(IDirectXFileData* data, const GUID& type) {
  const GUID* t = nullptr;
  return SUCCEEDED(data->GetType(&t)) && t && *t == type;
}

HRESULT ReadMaterial(IDirectXFileData* object, LoadedMaterial& out) {
  DWORD size = 0;
  void* data = nullptr;
  HRESULT hr = object->GetData(nullptr, &size, &data);
  if (FAILED(hr)) return hr;
  DataCursor c(data, size);
  float v[11];
  for (float& f : v) {
    if (!c.F32(f)) return E_FAIL;
  }
  out.material = D3DMATERIAL8{};
  out.material.Diffuse = {v[0], v[1], v[2], v[3]};
  out.material.Power = v[4];
  out.material.Specular = {v[5], v[6], v[7], 1.0f};
  out.material.Emissive = {v[8], v[9], v[10], 1.0f};
  ChildList children;
  hr = ChildList::Collect(object, children.items);
  if (FAILED(hr)) return hr;
  for (IDirectXFileData* child : children.items) {
    if (!IsType(child, TID_D3DRMTextureFilename)) continue;
    DWORD nameSize = 0;
    void* nameData = nullptr;
    if (FAILED(child->GetData(nullptr, &nameSize, &nameData))) continue;
    DataCursor nc(nameData, nameSize);
    const char* name = nullptr;
    if (nc.Pointer(name) && name) out.textureFilename = name;
  }
  return S_OK;
}

LoadedMaterial DefaultMaterial() {
  LoadedMaterial m;
  m.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  return m;
}

void Transform(const float m[16], float& x, float& y, float& z, bool direction) {
  const float w = direction ? 0.0f : 1.0f;
  const float nx = x * m[0] + y * m[4] + z * m[8] + w * m[12];
  const float ny = x * m[1] + y * m[5] + z * m[9] + w * m[13];
  const float nz = x * m[2] + y * m[6] + z * m[10] + w * m[14];
  x = nx;
  y = ny;
  z = nz;
  if (direction) {
    const float len = std::sqrt(x * x + y * y + z * z);
    if (len > 0.0f) {
      x /= len;
      y /= len;
      z /= len;
    }
  }
}

HRESULT AppendMesh(IDirectXFileData* object, const float matrix[16], LoadedMesh& out) {
  DWORD size = 0;
  void* data = nullptr;
  HRESULT hr = object->GetData(nullptr, &size, &data);
  if (FAILED(hr)) return hr;
  DataCursor c(data, size);
  uint32_t numVertices = 0;
  std::vector<float> positions;
  if (!c.U32(numVertices) || numVertices > c.Left() / 12 || !ReadFloats(c, numVertices * 3, positions)) return E_FAIL;
  std::vector<Face> faces;
  std::vector<uint32_t> corners;
  if (!ReadFaces(c, numVertices, faces, corners) || faces.empty()) return E_FAIL;

  std::vector<float> normals;
  std::vector<Face> normalFaces;
  std::vector<uint32_t> normalCorners;
  bool hasNormals = false;
  std::vector<float> texcoords;
  std::vector<std::pair<uint32_t, uint32_t>> colors;
  std::vector<uint32_t> faceMaterials;
  std::vector<LoadedMaterial> materials;

  ChildList children;
  hr = ChildList::Collect(object, children.items);
  if (FAILED(hr)) return hr;
  for (IDirectXFileData* child : children.items) {
    DWORD childSize = 0;
    void* childData = nullptr;
    if (FAILED(child->GetData(nullptr, &childSize, &childData))) return E_FAIL;
    DataCursor cc(childData, childSize);
    if (IsType(child, TID_D3DRMMeshNormals)) {
      uint32_t n = 0;
      normalFaces.clear();
      normalCorners.clear();
      if (!cc.U32(n) || n > cc.Left() / 12 || !ReadFloats(cc, n * 3, normals)) return E_FAIL;
      if (!ReadFaces(cc, n, normalFaces, normalCorners) || normalFaces.size() != faces.size()) return E_FAIL;
      for (size_t f = 0; f < faces.size(); ++f) {
        if (normalFaces[f].count != faces[f].count) return E_FAIL;
      }
      hasNormals = true;
    } else if (IsType(child, TID_D3DRMMeshTextureCoords)) {
      uint32_t n = 0;
      if (!cc.U32(n) || n > cc.Left() / 8 || n < numVertices || !ReadFloats(cc, n * 2, texcoords)) return E_FAIL;
    } else if (IsType(child, TID_D3DRMMeshVertexColors)) {
      uint32_t n = 0;
      if (!cc.U32(n) || n > cc.Left() / 20) return E_FAIL;
      for (uint32_t i = 0; i < n; ++i) {
        uint32_t index = 0;
        float rgba[4];
        if (!cc.U32(index) || index >= numVertices) return E_FAIL;
        for (float& f : rgba) {
          if (!cc.F32(f)) return E_FAIL;
        }
        uint32_t packed = 0;
        const int shifts[4] = {16, 8, 0, 24};  // r, g, b, a into ARGB
        for (int k = 0; k < 4; ++k) {
          float v = rgba[k] < 0.0f ? 0.0f : (rgba[k] > 1.0f ? 1.0f : rgba[k]);
          packed |= static_cast<uint32_t>(v * 255.0f + 0.5f) << shifts[k];
        }
        colors.emplace_back(index, packed);
      }
    } else if (IsType(child, TID_D3DRMMeshMaterialList)) {
      uint32_t numMaterials = 0, numIndexes = 0;
      if (!cc.U32(numMaterials) || !cc.U32(numIndexes) || numIndexes > cc.Left() / 4) return E_FAIL;
      faceMaterials.resize(numIndexes);
      for (uint32_t& m : faceMaterials) {
        if (!cc.U32(m) || m >= numMaterials) return E_FAIL;
      }
      materials.clear();
      ChildList materialObjects;
      hr = ChildList::Collect(child, materialObjects.items);
      if (FAILED(hr)) return hr;
      for (IDirectXFileData* m : materialObjects.items) {
        if (!IsType(m, TID_D3DRMMaterial) || materials.size() >= numMaterials) continue;
        LoadedMaterial loaded;
        hr = ReadMaterial(m, loaded);
        if (FAILED(hr)) return hr;
        materials.push_back(std::move(loaded));
      }
      // Every material the faces may name must be there.
      if (materials.size() < numMaterials) return E_FAIL;
    }
  }

  // One output vertex per (position, normal) pair; a position keeps its own index for the
  // first normal it meets, further normals get new vertices at the end.
  const uint32_t base = static_cast<uint32_t>(out.VertexCount());
  std::vector<uint32_t> firstNormal(numVertices, kPendingDefault);
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> extra;
  std::vector<uint32_t> extraPosition, extraNormal;
  std::vector<uint32_t> vertexOfCorner(corners.size());
  for (size_t i = 0; i < corners.size(); ++i) {
    const uint32_t p = corners[i];
    if (!hasNormals) {
      vertexOfCorner[i] = p;
      continue;
    }
    const uint32_t n = normalCorners[i];
    if (firstNormal[p] == kPendingDefault || firstNormal[p] == n) {
      firstNormal[p] = n;
      vertexOfCorner[i] = p;
      continue;
    }
    auto it = extra.find({p, n});
    if (it == extra.end()) {
      it = extra.emplace(std::make_pair(p, n), numVertices + static_cast<uint32_t>(extraPosition.size())).first;
      extraPosition.push_back(p);
      extraNormal.push_back(n);
    }
    vertexOfCorner[i] = it->second;
  }
  std::vector<uint32_t> colorOf(numVertices, 0xFFFFFFFFu);
  for (const auto& pc : colors) colorOf[pc.first] = pc.second;
  const size_t total = numVertices + extraPosition.size();
  for (size_t v = 0; v < total; ++v) {
    const uint32_t p = v < numVertices ? static_cast<uint32_t>(v) : extraPosition[v - numVertices];
    float x = positions[p * 3], y = positions[p * 3 + 1], z = positions[p * 3 + 2];
    Transform(matrix, x, y, z, false);
    out.positions.insert(out.positions.end(), {x, y, z});
    float nx = 0, ny = 0, nz = 0;
    const uint32_t n = v < numVertices ? firstNormal[v] : extraNormal[v - numVertices];
    if (hasNormals && n != kPendingDefault) {
      nx = normals[n * 3];
      ny = normals[n * 3 + 1];
      nz = normals[n * 3 + 2];
      Transform(matrix, nx, ny, nz, true);
    }
    out.normals.insert(out.normals.end(), {nx, ny, nz});
    if (!texcoords.empty()) out.texcoords.insert(out.texcoords.end(), {texcoords[p * 2], texcoords[p * 2 + 1]});
    else out.texcoords.insert(out.texcoords.end(), {0.0f, 0.0f});
    out.colors.push_back(colorOf[p]);
  }
  out.hasNormals |= hasNormals;
  out.hasTexcoords |= !texcoords.empty();
  out.hasColors |= !colors.empty();

  // Triangles as fans; every triangle of a face carries the face's material.
  const uint32_t materialBase = static_cast<uint32_t>(out.materials.size());
  for (size_t f = 0; f < faces.size(); ++f) {
    uint32_t attribute = kPendingDefault;
    if (!materials.empty()) {
      const uint32_t m = f < faceMaterials.size() ? faceMaterials[f] : (faceMaterials.empty() ? 0 : faceMaterials.back());
      attribute = materialBase + m;
    }
    const Face& face = faces[f];
    for (uint32_t k = 1; k + 1 < face.count; ++k) {
      out.indices.push_back(base + vertexOfCorner[face.first]);
      out.indices.push_back(base + vertexOfCorner[face.first + k]);
      out.indices.push_back(base + vertexOfCorner[face.first + k + 1]);
      out.attributes.push_back(attribute);
    }
  }
  for (LoadedMaterial& m : materials) out.materials.push_back(std::move(m));
  ++out.meshCount;
  return S_OK;
}

HRESULT AppendObject(IDirectXFileData* object, const float matrix[16], LoadedMesh& out, int depth) {
  if (depth > kMaxFrameDepth) return E_FAIL;
  if (IsType(object, TID_D3DRMMesh)) return AppendMesh(object, matrix, out);
  if (!IsType(object, TID_D3DRMFrame)) return S_OK;
  ChildList children;
  HRESULT hr = ChildList::Collect(object, children.items);
  if (FAILED(hr)) return hr;
  float local[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (IDirectXFileData* child : children.items) {
    if (!IsType(child, TID_D3DRMFrameTransformMatrix)) continue;
    DWORD size = 0;
    void* data = nullptr;
    if (FAILED(child->GetData(nullptr, &size, &data))) return E_FAIL;
    DataCursor c(data, size);
    for (float& f : local) {
      if (!c.F32(f)) return E_FAIL;
    }
    break;
  }
  float world[16];
  for (int r = 0; r < 4; ++r) {
    for (int col = 0; col < 4; ++col) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += local[r * 4 + k] * matrix[k * 4 + col];
      world[r * 4 + col] = sum;
    }
  }
  for (IDirectXFileData* child : children.items) {
    hr = AppendObject(child, world, out, depth + 1);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT AppendXObject(IDirectXFileData* object, const float matrix[16], LoadedMesh& out) {
  if (!object) return E_POINTER;
  return AppendObject(object, matrix, out, 0);
}

HRESULT AppendXFile(IDirectXFileEnumObject* file, LoadedMesh& out) {
  static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (;;) {
    IDirectXFileData* data = nullptr;
    HRESULT hr = file->GetNextDataObject(&data);
    if (hr == DXFILEERR_NOMOREOBJECTS) return S_OK;
    if (FAILED(hr) || !data) return FAILED(hr) ? hr : E_FAIL;
    hr = AppendObject(data, kIdentity, out, 0);
    data->Release();
    if (FAILED(hr)) return hr;
  }
}

void FinishLoadedMesh(LoadedMesh& mesh) {
  bool pending = false;
  for (uint32_t a : mesh.attributes) pending |= a == kPendingDefault;
  if (!pending) return;
  // Faces of meshes without materials: attribute 0 when nothing has materials, else a
  // default material of their own.
  const uint32_t replacement = mesh.materials.empty() ? 0u : static_cast<uint32_t>(mesh.materials.size());
  if (!mesh.materials.empty()) mesh.materials.push_back(DefaultMaterial());
  for (uint32_t& a : mesh.attributes) {
    if (a == kPendingDefault) a = replacement;
  }
}

}  // namespace xfile
