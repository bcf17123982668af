// The options screen: three panels (video, sound, game) of quads cut from the atlas
// "OptTex" on a grid of 20 x 20 units over the back buffer. Every control acts on the
// context's settings in the frame of the click; what the panels show is derived from
// those settings by the three fill operations. Places, cells and vertex colours come from
// game/options_layout.h, which the resource generator reads too.
#pragma once

#include "engine/myobject.h"
#include "engine/renderitem.h"
#include "game/options_layout.h"
#include "platform/win32/win32.h"

class CGameContext;

class COptions : public CMyObject {
 public:
  enum {
    VIDEO_QUADS = options_layout::kQuads[options_layout::kVideo],
    SOUND_QUADS = options_layout::kQuads[options_layout::kSound],
    GAME_QUADS = options_layout::kQuads[options_layout::kGame]
  };

  explicit COptions(CGameContext* pContext);
  ~COptions() override;

  // The control handling of one frame in the options mode.
  HRESULT FrameMove() override;
  // Three quad records: video, sound (blended), game.
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  // Lays every quad out for the current back-buffer size, then fills the panels.
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // Each sets its panel's cells from the settings and copies the panel into its
  // vertex buffer, creating the buffer when there is none.
  HRESULT FillVideoControls();
  HRESULT FillSoundControls();
  HRESULT FillGameControls();

  // The volume (1..250) that a slider gives at grid position gx.
  static INT SliderValue(FLOAT gx);

  ScreenVertex m_VideoQuads[VIDEO_QUADS][6];
  ScreenVertex m_SoundQuads[SOUND_QUADS][6];
  ScreenVertex m_GameQuads[GAME_QUADS][6];
  DWORD m_dwQuadBytes;
  IDirect3DVertexBuffer8* m_pVideoVB = nullptr;
  IDirect3DVertexBuffer8* m_pSoundVB = nullptr;
  IDirect3DVertexBuffer8* m_pGameVB = nullptr;

 private:
  void LayOut();
  void HandleVideo(FLOAT gx, FLOAT gy);
  void HandleSound(FLOAT gx, FLOAT gy);
  void HandleGame(FLOAT gx, FLOAT gy);
  void ChangeSong(INT nMusType);
  bool IsCurrentMode(DWORD dwWidth, DWORD dwHeight) const;
  void QueuePanel(IDirect3DVertexBuffer8* pVB, BYTE bBlend, DWORD dwQuads);
};
