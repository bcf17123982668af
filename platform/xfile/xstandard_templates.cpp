// The standard templates every .x reader knows, and their identifiers.
#include "platform/xfile/dxfile.h"
#include "platform/xfile/xdocument.h"
#include "platform/xfile/xparser.h"

#define XFILE_GUID(name, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7) \
  const GUID name = {d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}}

XFILE_GUID(IID_IDirectXFile, 0x3d82ab40, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(IID_IDirectXFileEnumObject, 0x3d82ab41, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(IID_IDirectXFileSaveObject, 0x3d82ab42, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(IID_IDirectXFileObject, 0x3d82ab43, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(IID_IDirectXFileData, 0x3d82ab44, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(IID_IDirectXFileDataReference, 0x3d82ab45, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4,
           0x33);
XFILE_GUID(IID_IDirectXFileBinary, 0x3d82ab46, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);

XFILE_GUID(TID_D3DRMInfo, 0x3d82ab43, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMVector, 0x3d82ab5e, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMCoords2d, 0xf6f23f44, 0x7686, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMatrix4x4, 0xf6f23f45, 0x7686, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMColorRGBA, 0x35ff44e0, 0x6c7c, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMColorRGB, 0xd3e16e81, 0x7835, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMIndexedColor, 0x1630b820, 0x7842, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMBoolean, 0x4885ae61, 0x78e8, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMBoolean2d, 0x4885ae63, 0x78e8, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMaterialWrap, 0x4885ae60, 0x78e8, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMTextureFilename, 0xa42790e1, 0x7810, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMaterial, 0x3d82ab4d, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMMeshFace, 0x3d82ab5f, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMMeshFaceWraps, 0x4885ae62, 0x78e8, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMeshTextureCoords, 0xf6f23f40, 0x7686, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMeshMaterialList, 0xf6f23f42, 0x7686, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMeshNormals, 0xf6f23f43, 0x7686, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMeshVertexColors, 0x1630b821, 0x7842, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMMesh, 0x3d82ab44, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMFrameTransformMatrix, 0xf6f23f41, 0x7686, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94,
           0xa3);
XFILE_GUID(TID_D3DRMFrame, 0x3d82ab46, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMFloatKeys, 0x10dd46a9, 0x775b, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMTimedFloatKeys, 0xf406b180, 0x7b3b, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMAnimationKey, 0x10dd46a8, 0x775b, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMAnimationOptions, 0xe2bf56c0, 0x840f, 0x11cf, 0x8f, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xa3);
XFILE_GUID(TID_D3DRMAnimation, 0x3d82ab4f, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);
XFILE_GUID(TID_D3DRMAnimationSet, 0x3d82ab50, 0x62da, 0x11cf, 0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33);

const unsigned char D3DRM_XTEMPLATES[] =
    "xof 0303txt 0032\n"
    "template Header { <3D82AB43-62DA-11CF-AB39-0020AF71E433> WORD major; WORD minor; DWORD flags; }\n"
    "template Vector { <3D82AB5E-62DA-11CF-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }\n"
    "template Coords2d { <F6F23F44-7686-11CF-8F52-0040333594A3> FLOAT u; FLOAT v; }\n"
    "template Matrix4x4 { <F6F23F45-7686-11CF-8F52-0040333594A3> array FLOAT matrix[16]; }\n"
    "template ColorRGBA { <35FF44E0-6C7C-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha; }\n"
    "template ColorRGB { <D3E16E81-7835-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; }\n"
    "template IndexedColor { <1630B820-7842-11CF-8F52-0040333594A3> DWORD index; ColorRGBA indexColor; }\n"
    "template Boolean { <4885AE61-78E8-11CF-8F52-0040333594A3> WORD truefalse; }\n"
    "template Boolean2d { <4885AE63-78E8-11CF-8F52-0040333594A3> Boolean u; Boolean v; }\n"
    "template MaterialWrap { <4885AE60-78E8-11CF-8F52-0040333594A3> Boolean u; Boolean v; }\n"
    "template TextureFilename { <A42790E1-7810-11CF-8F52-0040333594A3> STRING filename; }\n"
    "template Material { <3D82AB4D-62DA-11CF-AB39-0020AF71E433> ColorRGBA faceColor; FLOAT power;\n"
    "  ColorRGB specularColor; ColorRGB emissiveColor; [...] }\n"
    "template MeshFace { <3D82AB5F-62DA-11CF-AB39-0020AF71E433> DWORD nFaceVertexIndices;\n"
    "  array DWORD faceVertexIndices[nFaceVertexIndices]; }\n"
    "template MeshFaceWraps { <4885AE62-78E8-11CF-8F52-0040333594A3> DWORD nFaceWrapValues;\n"
    "  array Boolean2d faceWrapValues[nFaceWrapValues]; }\n"
    "template MeshTextureCoords { <F6F23F40-7686-11CF-8F52-0040333594A3> DWORD nTextureCoords;\n"
    "  array Coords2d textureCoords[nTextureCoords]; }\n"
    "template MeshMaterialList { <F6F23F42-7686-11CF-8F52-0040333594A3> DWORD nMaterials; DWORD nFaceIndexes;\n"
    "  array DWORD faceIndexes[nFaceIndexes]; [Material <3D82AB4D-62DA-11CF-AB39-0020AF71E433>] }\n"
    "template MeshNormals { <F6F23F43-7686-11CF-8F52-0040333594A3> DWORD nNormals; array Vector normals[nNormals];\n"
    "  DWORD nFaceNormals; array MeshFace faceNormals[nFaceNormals]; }\n"
    "template MeshVertexColors { <1630B821-7842-11CF-8F52-0040333594A3> DWORD nVertexColors;\n"
    "  array IndexedColor vertexColors[nVertexColors]; }\n"
    "template Mesh { <3D82AB44-62DA-11CF-AB39-0020AF71E433> DWORD nVertices; array Vector vertices[nVertices];\n"
    "  DWORD nFaces; array MeshFace faces[nFaces]; [...] }\n"
    "template FrameTransformMatrix { <F6F23F41-7686-11CF-8F52-0040333594A3> Matrix4x4 frameMatrix; }\n"
    "template Frame { <3D82AB46-62DA-11CF-AB39-0020AF71E433> [...] }\n"
    "template FloatKeys { <10DD46A9-775B-11CF-8F52-0040333594A3> DWORD nValues; array FLOAT values[nValues]; }\n"
    "template TimedFloatKeys { <F406B180-7B3B-11CF-8F52-0040333594A3> DWORD time; FloatKeys tfkeys; }\n"
    "template AnimationKey { <10DD46A8-775B-11CF-8F52-0040333594A3> DWORD keyType; DWORD nKeys;\n"
    "  array TimedFloatKeys keys[nKeys]; }\n"
    "template AnimationOptions { <E2BF56C0-840F-11CF-8F52-0040333594A3> DWORD openclosed; DWORD positionquality; }\n"
    "template Animation { <3D82AB4F-62DA-11CF-AB39-0020AF71E433> [...] }\n"
    "template AnimationSet { <3D82AB50-62DA-11CF-AB39-0020AF71E433> [Animation <3D82AB4F-62DA-11CF-AB39-0020AF71E433>] }\n"
    "template InlineData { <3A23EEA0-94B1-11D0-AB39-0020AF71E433> [BINARY] }\n"
    "template Url { <3A23EEA1-94B1-11D0-AB39-0020AF71E433> DWORD nUrls; array STRING urls[nUrls]; }\n"
    "template ProgressiveMesh { <8A63C360-997D-11D0-941C-0080C80CFA7B> [Url, InlineData] }\n"
    "template Guid { <A42790E0-7810-11CF-8F52-0040333594A3> DWORD data1; WORD data2; WORD data3;\n"
    "  array UCHAR data4[8]; }\n"
    "template StringProperty { <7F0F21E0-BFE1-11D1-82C0-00A0C9697271> STRING key; STRING value; }\n"
    "template PropertyBag { <7F0F21E1-BFE1-11D1-82C0-00A0C9697271> [StringProperty] }\n"
    "template ExternalVisual { <98116AA0-BDBA-11D1-82C0-00A0C9697271> Guid guidExternalVisual; [...] }\n"
    "template RightHanded { <7F5D5EA0-D53A-11D1-82C0-00A0C9697271> DWORD bRightHanded; }\n"
    "template AnimTicksPerSecond { <9E415A43-7BA6-4A73-8743-B73D47E88476> DWORD AnimTicksPerSecond; }\n"
    "template XSkinMeshHeader { <3CF169CE-FF7C-44AB-93C0-F78F62D172E2> WORD nMaxSkinWeightsPerVertex;\n"
    "  WORD nMaxSkinWeightsPerFace; WORD nBones; }\n"
    "template VertexDuplicationIndices { <B8D65549-D7C9-4995-89CF-53A9A8B031E3> DWORD nIndices;\n"
    "  DWORD nOriginalVertices; array DWORD indices[nIndices]; }\n"
    "template SkinWeights { <6F0D123B-BAD2-4167-A0D0-80224F25FABB> STRING transformNodeName; DWORD nWeights;\n"
    "  array DWORD vertexIndices[nWeights]; array FLOAT weights[nWeights]; Matrix4x4 matrixOffset; }\n";

DWORD D3DRMXTemplateBytes() { return static_cast<DWORD>(sizeof(D3DRM_XTEMPLATES) - 1); }

namespace xfile {

const XTemplateRegistry& XTemplateRegistry::Standard() {
  static const XTemplateRegistry standard = [] {
    XTemplateRegistry registry;
    XParser parser(registry);
    parser.Parse(D3DRM_XTEMPLATES, sizeof(D3DRM_XTEMPLATES) - 1, nullptr);
    return registry;
  }();
  return standard;
}

}  // namespace xfile
