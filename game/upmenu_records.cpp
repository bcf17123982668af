// The records file "records.rcd": 8 rows of a 12-byte name and the score squared
// (unsigned 32-bit little-endian), row 0 the best. A stored value that is not a
// square makes the whole file count as damaged, and the default table is used.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/gamecontext.h"
#include "game/upmenu.h"
#include "platform/win32/kept_file.h"

const char RECORDS_FILE_NAME[] = "records.rcd";

namespace {

const int kRowBytes = RECORDS_FILE_SIZE / RECORD_ROWS;
static_assert(kRowBytes == RECORD_NAME_SIZE + 4, "a row is a name and a 32-bit value");

// Copies a name of at most 11 characters and zero-fills the field after it, so the
// result always ends within its 12 bytes and carries no stale letters.
void CopyName(char (&to)[RECORD_NAME_SIZE], const char* from) {
  size_t n = 0;
  while (n < RECORD_NAME_SIZE - 1 && from[n]) ++n;
  std::memcpy(to, from, n);
  std::memset(to + n, 0, RECORD_NAME_SIZE - n);
}

// The score whose square is the stored value, or false when the root's fraction is a
// thousandth or more (the file's only check against damage).
bool ScoreFromSquare(DWORD dwStored, DWORD* pScore) {
  const double root = std::sqrt(static_cast<double>(dwStored));
  const long long thousandths = static_cast<long long>(1000.0 * root);
  const long long whole = static_cast<long long>(std::floor(root));
  if (thousandths != 1000 * whole) return false;
  *pScore = static_cast<DWORD>(thousandths / 1000);
  return true;
}

}  // namespace

HRESULT CUpMenu::LoadRecords() {
  const KeptFileContents kept = ReadKeptFile(RECORDS_FILE_NAME, RECORDS_FILE_SIZE);
  if (kept.status == KeptFileContents::kMissing) return E_FAIL;  // the first save creates it
  if (kept.status == KeptFileContents::kRefused) {
    // The player's rows may be in there: this run must not write the defaults over them.
    m_bLeaveRecordsFile = true;
    m_pContext->WriteLog(("FAIL: Records file records.rcd " + kept.reason + ", it is left as it is!\n").c_str());
    return E_FAIL;
  }
  // Only the first 128 bytes count: a byte or a line end added after them is no damage.
  const unsigned char* file = reinterpret_cast<const unsigned char*>(kept.bytes.data());

  RecordRow rows[RECORD_ROWS];
  bool ok = kept.bytes.size() == RECORDS_FILE_SIZE;
  for (int r = 0; ok && r < RECORD_ROWS; ++r) {
    const unsigned char* p = file + r * kRowBytes;
    char name[RECORD_NAME_SIZE];
    std::memcpy(name, p, sizeof name);
    CopyName(rows[r].szName, name);
    DWORD stored = 0;
    for (int k = 0; k < 4; ++k) stored |= static_cast<DWORD>(p[RECORD_NAME_SIZE + k]) << (8 * k);
    ok = ScoreFromSquare(stored, &rows[r].dwScore);
    rows[r].dwScore = CappedScore(rows[r].dwScore);
  }
  if (!ok) {
    m_pContext->WriteLog("FAIL: Damaged records file records.rcd!\n");
    return E_FAIL;
  }
  std::memcpy(m_pContext->m_Records, rows, sizeof rows);
  return S_OK;
}

HRESULT CUpMenu::SetDefaultRecords() {
  for (int i = 0; i < RECORD_ROWS; ++i) {
    RecordRow& row = m_pContext->m_Records[RECORD_ROWS - 1 - i];
    CopyName(row.szName, "Tavrinell");
    row.dwScore = static_cast<DWORD>(30 + 10 * i);
  }
  return S_OK;
}

HRESULT CUpMenu::SaveRecords() {
  CGameContext* c = m_pContext;
  unsigned char file[RECORDS_FILE_SIZE];
  for (int r = 0; r < RECORD_ROWS; ++r) {
    RecordRow& row = c->m_SaveRecords[r];
    CopyName(row.szName, c->m_Records[r].szName);
    // A capped score's square always fits, and always loads back.
    const DWORD score = CappedScore(c->m_Records[r].dwScore);
    row.dwScore = score * score;
    unsigned char* p = file + r * kRowBytes;
    std::memcpy(p, row.szName, RECORD_NAME_SIZE);
    for (int k = 0; k < 4; ++k) p[RECORD_NAME_SIZE + k] = static_cast<unsigned char>(row.dwScore >> (8 * k));
  }
  if (m_bLeaveRecordsFile) {
    c->WriteLog("FAIL: Records file records.rcd could not be read, it is not written over!\n");
    return E_FAIL;
  }
  std::string refusal;
  if (!WriteFileAtomically(RECORDS_FILE_NAME, file, sizeof file, &refusal)) {
    c->WriteLog(refusal.empty() ? "FAIL: Can not write records file records.rcd!\n"
                                : ("FAIL: Records file records.rcd " + refusal + ", it is left as it is!\n").c_str());
    return E_FAIL;
  }
  return S_OK;
}
