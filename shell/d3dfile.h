// A whole .x file on disk: its frames and meshes as a tree under this root frame.
#pragma once

#include "platform/xfile/dxfile.h"
#include "shell/d3dframe.h"

class CD3DFile : public CD3DFrame {
 public:
  CD3DFile() : CD3DFrame("CD3DFile_Root") {}

  // Loads every top-level object of the file (found by the media search) into this root.
  HRESULT Create(IDirect3DDevice8* pd3dDevice, const char* strFilename);
  // Draws the tree below the root: opaque subsets first, then blended ones.
  HRESULT Render(IDirect3DDevice8* pd3dDevice);

  HRESULT LoadFrame(IDirect3DDevice8* pd3dDevice, IDirectXFileData* pFileData, CD3DFrame* pParentFrame);
  HRESULT LoadMesh(IDirect3DDevice8* pd3dDevice, IDirectXFileData* pFileData, CD3DFrame* pParentFrame);
};
