#include "tests/support/d3d8/recording_device.h"

#include <gtest/gtest.h>

namespace {

class RecordingDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    D3DPRESENT_PARAMETERS params = {};
    params.BackBufferWidth = 800;
    params.BackBufferHeight = 600;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    device = new CRecordingDevice(nullptr, &params);
  }
  void TearDown() override {
    if (device) {
      EXPECT_EQ(0u, device->Release());
    }
  }
  CRecordingDevice* device = nullptr;
};

}  // namespace

TEST_F(RecordingDeviceTest, StartsWithTheDirect3DDefaults) {
  EXPECT_EQ(static_cast<DWORD>(D3DZB_TRUE), device->RenderState(D3DRS_ZENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DCULL_CCW), device->RenderState(D3DRS_CULLMODE));
  EXPECT_EQ(static_cast<DWORD>(TRUE), device->RenderState(D3DRS_LIGHTING));
  EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ONE), device->RenderState(D3DRS_SRCBLEND));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_MODULATE), device->StageState(0, D3DTSS_COLOROP));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_SELECTARG1), device->StageState(0, D3DTSS_ALPHAOP));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_DISABLE), device->StageState(1, D3DTSS_COLOROP));
  EXPECT_EQ(1u, device->StageState(1, D3DTSS_TEXCOORDINDEX));
  D3DVIEWPORT8 viewport;
  ASSERT_EQ(S_OK, device->GetViewport(&viewport));
  EXPECT_EQ(800u, viewport.Width);
  EXPECT_EQ(600u, viewport.Height);
  EXPECT_FLOAT_EQ(1.0f, device->Transform(D3DTS_WORLD)._44);
}

TEST_F(RecordingDeviceTest, LogsCallsWithTheirArguments) {
  EXPECT_TRUE(device->Calls().empty());
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetTexture(0, nullptr);
  device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);

  EXPECT_EQ(1u, device->CallCount("SetTexture"));
  EXPECT_FALSE(device->WasCalled("LightEnable"));
  EXPECT_EQ((std::vector<std::string>{"SetRenderState", "SetTexture", "DrawPrimitive"}), device->MethodNames());
  const D3DCallRecord& set = device->Calls()[0];
  EXPECT_EQ("27, 1", set.args);
  EXPECT_EQ((std::vector<DWORD>{27, 1}), set.values);
  EXPECT_EQ("0, null", device->Calls()[1].args);
  // Drawing without a stream source is an error, as on a real device.
  EXPECT_EQ(4u, device->CallsTo("DrawPrimitive")[0].values[0]);
  device->ClearCalls();
  EXPECT_TRUE(device->Calls().empty());
}

TEST_F(RecordingDeviceTest, GetReturnsWhatWasSet) {
  D3DMATERIAL8 material = {};
  material.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
  device->SetMaterial(&material);
  D3DLIGHT8 light = {};
  light.Type = D3DLIGHT_POINT;
  light.Range = 10.0f;
  device->SetLight(3, &light);
  device->LightEnable(3, TRUE);
  D3DMATRIX world = {};
  world._11 = 2.0f;
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);

  D3DMATERIAL8 got;
  device->GetMaterial(&got);
  EXPECT_FLOAT_EQ(0.5f, got.Diffuse.g);
  D3DLIGHT8 gotLight;
  ASSERT_EQ(S_OK, device->GetLight(3, &gotLight));
  EXPECT_EQ(D3DLIGHT_POINT, gotLight.Type);
  BOOL enabled = FALSE;
  device->GetLightEnable(3, &enabled);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(D3DERR_INVALIDCALL, device->GetLight(4, &gotLight));
  D3DMATRIX gotWorld;
  device->GetTransform(D3DTS_WORLD, &gotWorld);
  EXPECT_FLOAT_EQ(2.0f, gotWorld._11);
  DWORD value = 0;
  device->GetTextureStageState(0, D3DTSS_MIPFILTER, &value);
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_LINEAR), value);
}

TEST_F(RecordingDeviceTest, StateBlocksRecordWithoutApplyingAndRestoreOnApply) {
  // The pattern a text renderer uses: record the same states twice, capture the caller's, apply its own.
  DWORD saved = 0, own = 0;
  for (DWORD* token : {&saved, &own}) {
    ASSERT_EQ(S_OK, device->BeginStateBlock());
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetVertexShader(0x144);
    ASSERT_EQ(S_OK, device->EndStateBlock(token));
  }
  EXPECT_NE(saved, own);
  // Recording changed nothing.
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_ALPHABLENDENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DZB_TRUE), device->RenderState(D3DRS_ZENABLE));

  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetVertexShader(0x112);
  ASSERT_EQ(S_OK, device->CaptureStateBlock(saved));
  ASSERT_EQ(S_OK, device->ApplyStateBlock(own));
  EXPECT_EQ(static_cast<DWORD>(TRUE), device->RenderState(D3DRS_ALPHABLENDENABLE));
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_ZENABLE));
  EXPECT_EQ(0x144u, device->State().vertexShader);
  // States outside the block stay as they were.
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  ASSERT_EQ(S_OK, device->ApplyStateBlock(saved));
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_ALPHABLENDENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DZB_TRUE), device->RenderState(D3DRS_ZENABLE));
  EXPECT_EQ(0x112u, device->State().vertexShader);
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_LIGHTING));

  EXPECT_EQ(S_OK, device->DeleteStateBlock(saved));
  EXPECT_EQ(D3DERR_INVALIDCALL, device->ApplyStateBlock(saved));
  EXPECT_EQ(D3DERR_INVALIDCALL, device->EndStateBlock(&saved));  // none open
}

TEST_F(RecordingDeviceTest, CreatedStateBlockCapturesEverything) {
  DWORD token = 0;
  device->SetRenderState(D3DRS_AMBIENT, 0x00404040);
  ASSERT_EQ(S_OK, device->CreateStateBlock(D3DSBT_ALL, &token));
  device->SetRenderState(D3DRS_AMBIENT, 0);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->ApplyStateBlock(token);
  EXPECT_EQ(0x00404040u, device->RenderState(D3DRS_AMBIENT));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_DISABLE), device->StageState(1, D3DTSS_COLOROP));
  EXPECT_EQ(1u, device->StateBlockCount());
}

TEST_F(RecordingDeviceTest, BoundTextureOutlivesTheCallersLastRelease) {
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(S_OK, device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
  device->SetTexture(0, texture);
  EXPECT_EQ(2u, texture->AddRef());
  EXPECT_EQ(1u, texture->Release());
  EXPECT_EQ(0u, texture->Release());
  EXPECT_EQ(0u, device->LiveResourceCount());
  // Still bound and usable until unbound.
  EXPECT_EQ(texture, device->BoundTexture(0));
  EXPECT_EQ(1u, texture->GetLevelCount());
  device->SetTexture(0, nullptr);
  EXPECT_EQ(nullptr, device->BoundTexture(0));
}

TEST_F(RecordingDeviceTest, TexturesHaveLockableLevels) {
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(S_OK, device->CreateTexture(64, 16, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture));
  EXPECT_EQ(7u, texture->GetLevelCount());  // 64x16 down to 1x1
  D3DSURFACE_DESC desc;
  ASSERT_EQ(S_OK, texture->GetLevelDesc(2, &desc));
  EXPECT_EQ(16u, desc.Width);
  EXPECT_EQ(4u, desc.Height);
  EXPECT_EQ(D3DFMT_R5G6B5, desc.Format);
  EXPECT_EQ(D3DERR_INVALIDCALL, texture->GetLevelDesc(7, &desc));

  D3DLOCKED_RECT locked;
  ASSERT_EQ(S_OK, texture->LockRect(0, &locked, nullptr, 0));
  EXPECT_EQ(128, locked.Pitch);
  static_cast<WORD*>(locked.pBits)[64 * 3 + 5] = 0xF800;
  ASSERT_EQ(S_OK, texture->UnlockRect(0));
  EXPECT_EQ(D3DERR_INVALIDCALL, texture->UnlockRect(0));

  IDirect3DSurface8* level = nullptr;
  ASSERT_EQ(S_OK, texture->GetSurfaceLevel(0, &level));
  const RECT rect = {5, 3, 6, 4};
  ASSERT_EQ(S_OK, level->LockRect(&locked, &rect, D3DLOCK_READONLY));
  EXPECT_EQ(0xF800, *static_cast<WORD*>(locked.pBits));
  level->UnlockRect();
  EXPECT_EQ(1u, texture->Release());  // the surface level holds the texture
  EXPECT_EQ(0u, level->Release());
  EXPECT_EQ(0u, device->LiveResourceCount());
}

TEST_F(RecordingDeviceTest, RejectsBadResourceRequests) {
  IDirect3DTexture8* texture = nullptr;
  EXPECT_EQ(D3DERR_INVALIDCALL, device->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
  EXPECT_EQ(D3DERR_INVALIDCALL, device->CreateTexture(16, 16, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture));
  EXPECT_EQ(nullptr, texture);
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(84, D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_MANAGED, &buffer));
  BYTE* data = nullptr;
  EXPECT_EQ(D3DERR_INVALIDCALL, buffer->Lock(80, 8, &data, 0));
  ASSERT_EQ(S_OK, buffer->Lock(0, 0, &data, 0));
  buffer->Unlock();
  D3DVERTEXBUFFER_DESC desc;
  buffer->GetDesc(&desc);
  EXPECT_EQ(84u, desc.Size);
  EXPECT_EQ(0x144u, desc.FVF);
  EXPECT_EQ(0u, buffer->Release());
}

TEST_F(RecordingDeviceTest, ResetNeedsDefaultPoolResourcesReleasedAndRestoresDefaults) {
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(28 * 6, 0, 0x144, D3DPOOL_DEFAULT, &buffer));
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  D3DPRESENT_PARAMETERS params = device->PresentParameters();
  params.BackBufferWidth = 1024;
  params.BackBufferHeight = 768;
  EXPECT_EQ(D3DERR_INVALIDCALL, device->Reset(&params));
  EXPECT_EQ(1u, device->LiveDefaultPoolResourceCount());
  EXPECT_EQ(0u, buffer->Release());
  ASSERT_EQ(S_OK, device->Reset(&params));
  EXPECT_EQ(static_cast<DWORD>(TRUE), device->RenderState(D3DRS_LIGHTING));
  D3DVIEWPORT8 viewport;
  device->GetViewport(&viewport);
  EXPECT_EQ(1024u, viewport.Width);
}

TEST_F(RecordingDeviceTest, ScriptedFailuresAndCooperativeLevel) {
  device->FailMethod("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
  IDirect3DTexture8* texture = nullptr;
  EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY,
            device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
  device->ClearFailures();
  ASSERT_EQ(S_OK, device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
  texture->Release();

  device->SetCooperativeLevel(D3DERR_DEVICELOST);
  EXPECT_EQ(D3DERR_DEVICELOST, device->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICELOST, device->Present(nullptr, nullptr, nullptr, nullptr));
  device->SetCooperativeLevel(D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS params = device->PresentParameters();
  ASSERT_EQ(S_OK, device->Reset(&params));
  EXPECT_EQ(S_OK, device->TestCooperativeLevel());
}

TEST_F(RecordingDeviceTest, VertexShaderHandlesNeverLookLikeVertexFormats) {
  const DWORD declaration[] = {D3DVSD_STREAM(0), D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_END()};
  DWORD first = 0, second = 0;
  ASSERT_EQ(S_OK, device->CreateVertexShader(declaration, nullptr, &first, 0));
  ASSERT_EQ(S_OK, device->CreateVertexShader(declaration, nullptr, &second, 0));
  EXPECT_NE(first, second);
  EXPECT_EQ(1u, first & 1u);
  const float constants[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  device->SetVertexShaderConstant(4, constants, 2);
  EXPECT_FLOAT_EQ(7.0f, device->VertexShaderConstants().at(5)[2]);
  DWORD size = 0;
  device->GetVertexShaderDeclaration(first, nullptr, &size);
  EXPECT_EQ(sizeof declaration, size);
  EXPECT_EQ(S_OK, device->DeleteVertexShader(first));
  EXPECT_EQ(D3DERR_INVALIDCALL, device->DeleteVertexShader(first));
}

TEST(RecordingDirect3D, ScriptedAdapterAndDeviceLifetime) {
  auto* d3d = new CRecordingDirect3D();
  EXPECT_EQ(1u, d3d->GetAdapterCount());
  ASSERT_EQ(6u, d3d->GetAdapterModeCount(0));
  D3DDISPLAYMODE mode;
  ASSERT_EQ(S_OK, d3d->EnumAdapterModes(0, 3, &mode));
  EXPECT_EQ(640u, mode.Width);
  EXPECT_EQ(D3DFMT_R5G6B5, mode.Format);
  d3d->Adapters()[0].displayFormats = {D3DFMT_X8R8G8B8};
  EXPECT_EQ(D3DERR_NOTAVAILABLE, d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE));
  d3d->Adapters()[0].caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
  D3DCAPS8 caps;
  ASSERT_EQ(S_OK, d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps));
  EXPECT_EQ(0xFFFE0101u, caps.VertexShaderVersion);

  D3DPRESENT_PARAMETERS params = {};
  params.Windowed = TRUE;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  IDirect3DDevice8* device = nullptr;
  ASSERT_EQ(S_OK, d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device));
  ASSERT_NE(nullptr, d3d->LastDevice());
  EXPECT_EQ(device, static_cast<IDirect3DDevice8*>(d3d->LastDevice()));
  EXPECT_EQ(2u, d3d->RefCount());  // the device holds its creator
  device->GetDeviceCaps(&caps);
  EXPECT_EQ(0xFFFE0101u, caps.VertexShaderVersion);
  EXPECT_EQ(0u, device->Release());
  EXPECT_EQ(nullptr, d3d->LastDevice());
  EXPECT_EQ(0u, d3d->Release());
}

TEST_F(RecordingDeviceTest, StateBlockKeepsItsTextureAliveUntilDeleted) {
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(S_OK, device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
  DWORD token = 0;
  device->BeginStateBlock();
  device->SetTexture(0, texture);
  device->EndStateBlock(&token);
  EXPECT_EQ(nullptr, device->BoundTexture(0));
  EXPECT_EQ(0u, texture->Release());
  ASSERT_EQ(S_OK, device->ApplyStateBlock(token));
  ASSERT_EQ(texture, device->BoundTexture(0));
  EXPECT_EQ(1u, device->BoundTexture(0)->GetLevelCount());
  device->DeleteStateBlock(token);
  device->SetTexture(0, nullptr);  // the last holder: the texture goes now
}

TEST_F(RecordingDeviceTest, MultiplyTransformAppliesTheNewMatrixFirst) {
  D3DMATRIX scale = {}, translate = {};
  scale._11 = scale._22 = scale._33 = 2.0f;
  scale._44 = 1.0f;
  translate._11 = translate._22 = translate._33 = translate._44 = 1.0f;
  translate._41 = 3.0f;
  device->SetTransform(D3DTS_WORLD, &translate);
  device->MultiplyTransform(D3DTS_WORLD, &scale);
  // scale then translate: x' = 2x + 3
  EXPECT_FLOAT_EQ(2.0f, device->Transform(D3DTS_WORLD)._11);
  EXPECT_FLOAT_EQ(3.0f, device->Transform(D3DTS_WORLD)._41);
}

TEST_F(RecordingDeviceTest, UserPointerDrawsUnbindStreamZero) {
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(84, 0, 0x144, D3DPOOL_MANAGED, &buffer));
  device->SetStreamSource(0, buffer, 28);
  BYTE vertices[84] = {};
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, 28));
  IDirect3DVertexBuffer8* bound = buffer;
  UINT stride = 99;
  device->GetStreamSource(0, &bound, &stride);
  EXPECT_EQ(nullptr, bound);
  EXPECT_EQ(0u, buffer->Release());
}

TEST_F(RecordingDeviceTest, VertexAndIndexBuffersLockTheSameWay) {
  IDirect3DVertexBuffer8* vb = nullptr;
  IDirect3DIndexBuffer8* ib = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb));
  ASSERT_EQ(S_OK, device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib));
  BYTE* v = nullptr;
  BYTE* i = nullptr;
  EXPECT_EQ(D3DERR_INVALIDCALL, vb->Unlock());  // nothing locked yet
  EXPECT_EQ(D3DERR_INVALIDCALL, ib->Unlock());
  EXPECT_EQ(D3DERR_INVALIDCALL, vb->Lock(60, 8, &v, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, ib->Lock(65, 0, &i, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, ib->Lock(0, 0, nullptr, 0));
  ASSERT_EQ(S_OK, vb->Lock(16, 0, &v, 0));
  ASSERT_EQ(S_OK, ib->Lock(16, 48, &i, 0));
  v[47] = 0xAB;
  i[47] = 0xCD;
  EXPECT_EQ(S_OK, vb->Unlock());
  EXPECT_EQ(S_OK, ib->Unlock());
  EXPECT_EQ(0xAB, static_cast<CMemoryVertexBuffer*>(vb)->Data()[63]);
  EXPECT_EQ(0xCD, static_cast<CMemoryIndexBuffer*>(ib)->Data()[63]);
  EXPECT_FALSE(static_cast<CMemoryVertexBuffer*>(vb)->Locked());
  EXPECT_EQ(0u, vb->Release());
  EXPECT_EQ(0u, ib->Release());
}
