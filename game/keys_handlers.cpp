// The keys by game mode: camera and top-bar keys and undo in play, typing a name on
// the records screen, any key on the exit screen.
#include "engine/gamecontext.h"
#include "game/keys.h"

namespace {

enum : int {
  KEY_1 = 0x02,
  KEY_5 = 0x06,
  KEY_0 = 0x0B,
  KEY_MINUS = 0x0C,
  KEY_BACK = 0x0E,
  KEY_RETURN = 0x1C,
  KEY_LSHIFT = 0x2A,
  KEY_COMMA = 0x33,
  KEY_PERIOD = 0x34,
  KEY_RSHIFT = 0x36,
  KEY_SPACE = 0x39,
  KEY_NUMPADMINUS = 0x4A,
  KEY_NUMPADPLUS = 0x4E,
  KEY_UP = 0xC8,
  KEY_PRIOR = 0xC9,
  KEY_LEFT = 0xCB,
  KEY_RIGHT = 0xCD,
  KEY_DOWN = 0xD0,
  KEY_NEXT = 0xD1,
};

// The letter keys' codes, a to z.
const int kLetterKeys[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                             0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

// The last column a character may take; the byte after it stays for the terminator.
const DWORD kLastColumn = RECORD_NAME_SIZE - 1;

}  // namespace

bool CKeys::NewPress(int nKey) {
  if (!Down(nKey)) {
    m_KeyLatch[nKey] = 0;
    return false;
  }
  if (m_KeyLatch[nKey]) return false;
  m_KeyLatch[nKey] = 1;
  return true;
}

void CKeys::HeldKey(int nKey, BYTE& bFlag) {
  if (Down(nKey) && !m_KeyLatch[nKey]) {
    m_KeyLatch[nKey] = 1;
    bFlag = 1;
  } else if (!Down(nKey) && m_KeyLatch[nKey]) {
    m_KeyLatch[nKey] = 0;
    bFlag = 0;
  }
}

HRESULT CKeys::HandleGameKeys() {
  CGameContext* ctx = m_pContext;
  if (NewPress(KEY_NUMPADPLUS)) ctx->m_bKeyPlus = 1;
  if (NewPress(KEY_NUMPADMINUS)) ctx->m_bKeyMinus = 1;
  HeldKey(KEY_UP, ctx->m_bKeyUp);
  HeldKey(KEY_DOWN, ctx->m_bKeyDown);
  HeldKey(KEY_LEFT, ctx->m_bKeyLeft);
  HeldKey(KEY_RIGHT, ctx->m_bKeyRight);
  HeldKey(KEY_PRIOR, ctx->m_bKeyPageUp);
  HeldKey(KEY_NEXT, ctx->m_bKeyPageDown);
  // The press is used up even while a ball moves: undo is not deferred.
  if (NewPress(KEY_BACK) && ctx->m_bIdle) ctx->m_bUndoRequest = 1;
  return S_OK;
}

HRESULT CKeys::HandleNameEntry() {
  CGameContext* ctx = m_pContext;
  if (ctx->m_dwRecordsState == 1) {
    if (NewPress(KEY_RETURN)) ctx->m_dwRecordsState = 2;
  }
  if (ctx->m_dwRecordsState != 0) return S_OK;
  // The row and column come from the records screen; never write outside the name.
  if (ctx->m_dwEditRow >= RECORD_ROWS) return S_OK;
  char* name = ctx->m_Records[ctx->m_dwEditRow].szName;
  DWORD& col = ctx->m_dwEditColumn;
  if (col > kLastColumn) col = kLastColumn;
  name[kLastColumn] = 0;  // the screen shows the name while it is typed

  const bool bShift = Down(KEY_LSHIFT) || Down(KEY_RSHIFT);
  auto type = [&](int nKey, char c) {
    if (!NewPress(nKey) || c == 0) return;
    if (col < kLastColumn) name[col++] = c;
  };
  type(KEY_0, '0');
  static const char kShiftedDigits[4] = {'!', '@', '#', '$'};
  for (int k = 0; k < 4; ++k) type(KEY_1 + k, bShift ? kShiftedDigits[k] : static_cast<char>('1' + k));
  for (int k = 0; k < 5; ++k) type(KEY_5 + k, static_cast<char>('5' + k));
  for (int k = 0; k < 26; ++k) type(kLetterKeys[k], static_cast<char>((bShift ? 'A' : 'a') + k));
  type(KEY_SPACE, ' ');
  type(KEY_PERIOD, '.');
  type(KEY_COMMA, ',');
  type(KEY_MINUS, bShift ? '_' : 0);

  if (NewPress(KEY_BACK) && col != 0) {
    name[col] = 0;
    --col;
    name[col] = '_';
  }
  if (col < kLastColumn) name[col] = '_';
  if (NewPress(KEY_RETURN)) {
    name[col] = 0;
    ctx->m_dwRecordsState = 1;
  }
  return S_OK;
}

HRESULT CKeys::HandleAnyKey() {
  // Not edge-detected: the exit screen quits while any key is held.
  for (int nKey = 0; nKey < 255; ++nKey)
    if (Down(nKey)) m_pContext->m_bClick = 1;
  return S_OK;
}
