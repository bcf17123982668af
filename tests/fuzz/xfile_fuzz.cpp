// libFuzzer target for the .x reader and the mesh loader: any input must either load or
// fail cleanly, under AddressSanitizer and UBSan.
#include <cstddef>
#include <cstdint>

#include "platform/xfile/d3dx8mesh.h"
#include "platform/xfile/dxfile.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

void Walk(IDirectXFileData* data, int depth) {
  DWORD size = 0;
  void* bytes = nullptr;
  if (SUCCEEDED(data->GetData(nullptr, &size, &bytes)) && size > 0) {
    volatile uint8_t sink = static_cast<const uint8_t*>(bytes)[size - 1];
    (void)sink;
  }
  DWORD nameSize = 0;
  data->GetName(nullptr, &nameSize);
  if (depth > 8) return;
  IDirectXFileObject* child = nullptr;
  while (SUCCEEDED(data->GetNextObject(&child))) {
    IDirectXFileData* d = nullptr;
    IDirectXFileDataReference* r = nullptr;
    if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&d)))) {
      Walk(d, depth + 1);
      d->Release();
    } else if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&r)))) {
      if (SUCCEEDED(r->Resolve(&d))) d->Release();
      r->Release();
    }
    child->Release();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IDirectXFile* reader = nullptr;
  if (FAILED(DirectXFileCreate(&reader))) return 0;
  DXFILELOADMEMORY memory{const_cast<uint8_t*>(data), static_cast<DWORD>(size)};
  IDirectXFileEnumObject* e = nullptr;
  if (SUCCEEDED(reader->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &e))) {
    IDirectXFileData* top = nullptr;
    while (SUCCEEDED(e->GetNextDataObject(&top))) {
      Walk(top, 0);
      top->Release();
    }
    e->Release();
  }
  reader->Release();

  CRecordingDevice* device = new CRecordingDevice();
  ID3DXMesh* mesh = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materials = nullptr;
  DWORD count = 0;
  if (SUCCEEDED(D3DXLoadMeshFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_SYSTEMMEM, device, &adjacency,
                                          &materials, &count, &mesh))) {
    ID3DXMesh* sorted = nullptr;
    if (SUCCEEDED(mesh->Optimize(D3DXMESHOPT_ATTRSORT, static_cast<DWORD*>(adjacency->GetBufferPointer()), nullptr,
                                 nullptr, nullptr, &sorted))) {
      for (DWORD a = 0; a < count + 1; ++a) sorted->DrawSubset(a);
      sorted->Release();
    }
    mesh->Release();
    adjacency->Release();
    if (materials) materials->Release();
  }
  device->Release();
  return 0;
}
