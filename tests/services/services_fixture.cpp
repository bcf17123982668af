#include "services_fixture.h"

#include <unistd.h>

#include "platform/dinput/dinput_bridge.h"
#include "platform/dinput/dinput_testing.h"
#include "platform/sound/sound_backend_testing.h"
#include "tests/support/log_text.h"
#include "tests/support/sound/synth_audio.h"

void ServicesTest::SetUp() {
  m_strDir = MakeTempDir();
  ASSERT_FALSE(m_strDir.empty());
  m_strLibrary = m_strDir + "/res.dll";
  m_pLog = std::tmpfile();
  ASSERT_NE(m_pLog, nullptr);
  FSOUND_UseBackendForTesting(&m_sound);
  DirectInputResetForTesting();
  m_pContext.reset(new CGameContext);
  m_pContext->m_pLog = m_pLog;
  m_pContext->m_pSampleCache = new CSampleCache;
  m_pContext->m_pTextureCache = new CTextureCache;
  m_pContext->m_nSoundVolume = 250;
}

void ServicesTest::TearDown() {
  // The game's order: caches first, then the services close.
  delete m_pContext->m_pSampleCache;
  m_pContext->m_pSampleCache = nullptr;
  if (m_pContext->m_pTextureCache) m_pContext->m_pTextureCache->Clear();
  delete m_pContext->m_pTextureCache;
  m_pContext->m_pTextureCache = nullptr;
  if (m_bInitDone) m_pContext->Close();
  m_pContext.reset();
  FSOUND_UseBackendForTesting(nullptr);
  DirectInputResetForTesting();
  if (m_pLog) std::fclose(m_pLog);
  RemoveTree(m_strDir);
}

void ServicesTest::WriteLibrary(const std::vector<PeResource>& resources) {
  std::string error;
  ASSERT_TRUE(WriteResourceDll(m_strLibrary, resources, &error)) << error;
  m_pContext->m_strResLib = m_strLibrary.c_str();
}

void ServicesTest::RemoveLibrary() { ASSERT_EQ(unlink(m_strLibrary.c_str()), 0); }

void ServicesTest::InitWithLibrary() {
  m_pContext->Init(nullptr, nullptr);
  m_bInitDone = true;
  m_pContext->m_strResLib = m_strLibrary.c_str();
}

std::string ServicesTest::LogText() { return ReadLog(m_pLog); }

std::vector<uint8_t> ServicesTest::MakeBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t pixelBytes = static_cast<uint32_t>(rowBytes * height);
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  out.push_back('B');
  out.push_back('M');
  put32(54 + pixelBytes);
  put32(0);
  put32(54);
  put32(40);
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height));
  put16(1);
  put16(24);
  put32(0);
  put32(pixelBytes);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out.push_back(b);
      out.push_back(g);
      out.push_back(r);
    }
    for (int pad = width * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}
