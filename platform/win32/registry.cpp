#include "platform/win32/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/win32/kept_file.h"

// File layout, one entry a line:
//   vantorel-registry 1
//   key "Software\Example"
//   value "Width" dword 800
//   value "Name" sz "Player%00"
//   value "Blob" binary "0a0b"
//   value "Other" type:7 "6100"
//   end
// Quoted texts escape '%', '"', control and non-ASCII bytes as %XX. A file that does
// not follow this exactly, or lacks the closing "end", counts as damaged. Lines may
// end in CRLF, as an editor on another system may have saved them.

namespace {

const char kHeader[] = "vantorel-registry 1";
// Far more than the game stores; anything larger is not a file this store wrote.
const std::size_t kMaxFileBytes = 64 * 1024;

struct RegistryValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
};

struct RegistryKey {
  std::string path;  // components joined by '\', no leading or trailing '\'
  std::vector<RegistryValue> values;
};

struct OpenKey {
  std::string path;
  REGSAM access;
};

std::mutex g_mutex;
std::set<OpenKey*>& OpenKeys() {
  static std::set<OpenKey*> keys;
  return keys;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string JoinPath(const std::string& parent, const char* subKey) {
  std::string path = parent;
  std::string component;
  const std::string text = subKey ? subKey : "";
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\\') {
      if (!component.empty()) path += (path.empty() ? "" : "\\") + component;
      component.clear();
    } else {
      component += text[i];
    }
  }
  return path;
}

// Resolves a handle to the key path and the access it grants; false for a bad handle.
bool ResolveHandle(HKEY handle, std::string* path, REGSAM* access) {
  if (handle == HKEY_CURRENT_USER) {
    path->clear();
    *access = KEY_ALL_ACCESS;
    return true;
  }
  OpenKey* key = reinterpret_cast<OpenKey*>(handle);
  if (!OpenKeys().count(key)) return false;
  *path = key->path;
  *access = key->access;
  return true;
}

std::string Escape(const std::vector<uint8_t>& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text = "\"";
  for (uint8_t b : bytes) {
    if (b < 0x20 || b >= 0x7F || b == '%' || b == '"') {
      text += '%';
      text += kHex[b >> 4];
      text += kHex[b & 15];
    } else {
      text += static_cast<char>(b);
    }
  }
  return text + "\"";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string text = "\"";
  for (uint8_t b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text + "\"";
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2) return false;
  bytes->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

// Splits a line into words; quoted words are unescaped and marked.
bool SplitLine(const std::string& line, std::vector<std::string>* words, std::vector<bool>* quoted) {
  words->clear();
  quoted->clear();
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] == '"') {
      const size_t close = line.find('"', i + 1);
      if (close == std::string::npos) return false;
      for (size_t j = i + 1; j < close; ++j) {
        if (line[j] != '%') {
          word += line[j];
          continue;
        }
        if (j + 2 >= close) return false;
        const int high = HexDigit(line[j + 1]), low = HexDigit(line[j + 2]);
        if (high < 0 || low < 0) return false;
        word += static_cast<char>(high * 16 + low);
        j += 2;
      }
      i = close + 1;
      if (i < line.size() && line[i] != ' ') return false;
      quoted->push_back(true);
    } else {
      const size_t end = line.find(' ', i);
      word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
      i = end == std::string::npos ? line.size() : end;
      quoted->push_back(false);
    }
    words->push_back(word);
  }
  return true;
}

bool ParseValue(const std::vector<std::string>& words, const std::vector<bool>& quoted, RegistryValue* value) {
  if (words.size() != 4 || !quoted[1] || quoted[2]) return false;
  value->name = words[1];
  const std::string& kind = words[2];
  const std::string& text = words[3];
  if (kind == "dword") {
    if (quoted[3] || text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const unsigned long long number = std::strtoull(text.c_str(), nullptr, 10);
    if (number > 0xFFFFFFFFull) return false;
    value->type = REG_DWORD;
    value->data.resize(4);
    for (int i = 0; i < 4; ++i) value->data[i] = static_cast<uint8_t>(number >> (8 * i));
    return true;
  }
  if (!quoted[3]) return false;
  if (kind == "sz") {
    value->type = REG_SZ;
    value->data.assign(text.begin(), text.end());
    return true;
  }
  if (kind == "binary") {
    value->type = REG_BINARY;
    return ParseHex(text, &value->data);
  }
  if (kind.compare(0, 5, "type:") == 0 && kind.size() > 5 && kind.size() <= 15 &&
      kind.find_first_not_of("0123456789", 5) == std::string::npos) {
    const unsigned long long type = std::strtoull(kind.c_str() + 5, nullptr, 10);
    if (type > 0xFFFFFFFFull) return false;
    value->type = static_cast<DWORD>(type);
    return ParseHex(text, &value->data);
  }
  return false;
}

bool ReadLine(std::istream& input, std::string* line) {
  if (!std::getline(input, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool ParseRegistry(std::istream& input, std::vector<RegistryKey>* keys) {
  std::string line;
  if (!ReadLine(input, &line) || line != kHeader) return false;
  std::vector<std::string> words;
  std::vector<bool> quoted;
  while (ReadLine(input, &line)) {
    if (line == "end") return !std::getline(input, line);  // nothing may follow
    if (!SplitLine(line, &words, &quoted) || words.empty() || quoted[0]) return false;
    if (words[0] == "key") {
      if (words.size() != 2 || !quoted[1] || JoinPath("", words[1].c_str()) != words[1]) return false;
      keys->push_back(RegistryKey{words[1], {}});
    } else if (words[0] == "value") {
      RegistryValue value;
      if (keys->empty() || !ParseValue(words, quoted, &value)) return false;
      keys->back().values.push_back(value);
    } else {
      return false;
    }
  }
  return false;  // no "end": the file was cut short
}

std::string FormatRegistry(const std::vector<RegistryKey>& keys) {
  std::ostringstream out;
  out << kHeader << "\n";
  for (const RegistryKey& key : keys) {
    out << "key " << Escape(std::vector<uint8_t>(key.path.begin(), key.path.end())) << "\n";
    for (const RegistryValue& value : key.values) {
      out << "value " << Escape(std::vector<uint8_t>(value.name.begin(), value.name.end())) << " ";
      if (value.type == REG_DWORD && value.data.size() == 4) {
        const DWORD number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                             (static_cast<DWORD>(value.data[3]) << 24);
        out << "dword " << number;
      } else if (value.type == REG_SZ) {
        out << "sz " << Escape(value.data);
      } else if (value.type == REG_BINARY) {
        out << "binary " << HexText(value.data);
      } else {
        out << "type:" << value.type << " " << HexText(value.data);
      }
      out << "\n";
    }
  }
  out << "end\n";
  return out.str();
}

enum class StoreState {
  Read,     // parsed, or absent or empty: the keys are what it holds
  Refused,  // there but unreadable, damaged, too large or not a file: left alone
};

// Reports a file the store will not use or could not write, once per file, reason and
// outcome rather than at every call: the game reads and writes its values one at a time.
void ReportOnce(const std::string& path, const std::string& reason, const char* outcome) {
  static std::set<std::string> reported;
  if (reported.insert(path + "\n" + reason + "\n" + outcome).second)
    std::fprintf(stderr, "FAIL: settings file %s %s; %s\n", path.c_str(), reason.c_str(), outcome);
}

// Reads the store through the kept-file reader, which never blocks: a FIFO or a device
// at the path is refused, not opened for a read that could wait or never end.
StoreState LoadRegistry(std::vector<RegistryKey>* keys) {
  keys->clear();
  const std::string path = RegistryFilePath();
  if (path.empty()) return StoreState::Read;
  const KeptFileContents kept = ReadKeptFile(path, kMaxFileBytes);
  if (kept.status == KeptFileContents::kMissing) return StoreState::Read;
  std::string reason = kept.reason;
  if (reason.empty() && kept.longer) reason = "is larger than 64 KiB";
  if (reason.empty() && !kept.bytes.empty()) {
    std::istringstream input(kept.bytes);
    if (!ParseRegistry(input, keys)) reason = "is damaged";
  }
  if (reason.empty()) return StoreState::Read;
  keys->clear();
  ReportOnce(path, reason, "the defaults apply and the file is left as it is");
  return StoreState::Refused;
}

std::vector<RegistryKey> LoadRegistry() {
  std::vector<RegistryKey> keys;
  LoadRegistry(&keys);
  return keys;
}

bool MakeDirectories(const std::string& directory) {
  if (directory.empty()) return true;
  struct stat info;
  if (stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const size_t slash = directory.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(directory.substr(0, slash))) return false;
  return mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Holds an advisory lock on the directory of the file's real location from before
// the read to after the rename, so writers in other processes take turns and no
// update is lost. The directory, not the file, because each write replaces the file.
class StoreWriteLock {
 public:
  StoreWriteLock() {
    const std::string path = RegistryFilePath();
    if (path.empty()) return;
    const std::string directory = DirectoryOf(path);
    if (!MakeDirectories(directory)) return;
    m_fd = open(DirectoryOf(ResolveWriteTarget(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return;
    while (flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(m_fd);
        m_fd = -1;
        return;
      }
    }
  }
  ~StoreWriteLock() {
    if (m_fd >= 0) close(m_fd);  // closing releases the lock
  }
  StoreWriteLock(const StoreWriteLock&) = delete;
  StoreWriteLock& operator=(const StoreWriteLock&) = delete;
  bool Held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

// Replaces the file whole (see WriteFileAtomically): a symbolic link keeps pointing
// at it, its permission bits stay, and a crash leaves the old file or the new one.
LONG SaveRegistry(const std::vector<RegistryKey>& keys) {
  const std::string path = RegistryFilePath();
  if (path.empty()) return ERROR_ACCESS_DENIED;
  const std::string text = FormatRegistry(keys);
  std::string refusal;
  if (WriteFileAtomically(path, text.data(), text.size(), &refusal)) return ERROR_SUCCESS;
  ReportOnce(path, refusal.empty() ? "could not be written" : refusal, "it is left as it was");
  return ERROR_ACCESS_DENIED;
}

RegistryKey* FindKey(std::vector<RegistryKey>& keys, const std::string& path) {
  for (RegistryKey& key : keys) {
    if (EqualNoCase(key.path, path)) return &key;
  }
  return nullptr;
}

// A key exists when it is stored or some stored key lies below it; the root always does.
bool KeyExists(const std::vector<RegistryKey>& keys, const std::string& path) {
  if (path.empty()) return true;
  for (const RegistryKey& key : keys) {
    if (EqualNoCase(key.path, path)) return true;
    if (key.path.size() > path.size() && key.path[path.size()] == '\\' &&
        EqualNoCase(key.path.substr(0, path.size()), path)) {
      return true;
    }
  }
  return false;
}

HKEY NewHandle(const std::string& path, REGSAM access) {
  OpenKey* key = new OpenKey{path, access};
  OpenKeys().insert(key);
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

std::string RegistryFilePath() {
  const char* override = std::getenv("VANTOREL_REGISTRY_FILE");
  if (override && *override) return override;
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    config = xdg;  // relative values are to be ignored
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = getpwuid(getuid());
      home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home) return std::string();
    config = std::string(home) + "/.config";
  }
  return config + "/vantorel/registry.txt";
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string parent;
  REGSAM parentAccess = 0;
  if (!ResolveHandle(key, &parent, &parentAccess)) return ERROR_INVALID_HANDLE;
  const std::string path = JoinPath(parent, subKey);
  std::vector<RegistryKey> keys = LoadRegistry();
  bool exists = KeyExists(keys, path);
  if (!exists) {
    if (!(parentAccess & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    StoreWriteLock storeLock;
    if (!storeLock.Held() || LoadRegistry(&keys) != StoreState::Read) return ERROR_ACCESS_DENIED;
    exists = KeyExists(keys, path);  // another process may have made it meanwhile
    if (!exists) {
      keys.push_back(RegistryKey{path, {}});
      const LONG saved = SaveRegistry(keys);
      if (saved != ERROR_SUCCESS) return saved;
    }
  }
  if (disposition) *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewHandle(path, access);
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string parent;
  REGSAM parentAccess = 0;
  if (!ResolveHandle(key, &parent, &parentAccess)) return ERROR_INVALID_HANDLE;
  const std::string path = JoinPath(parent, subKey);
  if (!KeyExists(LoadRegistry(), path)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(path, access);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path;
  REGSAM access = 0;
  if (!ResolveHandle(key, &path, &access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<RegistryKey> keys = LoadRegistry();
  const RegistryKey* stored = FindKey(keys, path);
  const std::string name = valueName ? valueName : "";
  const RegistryValue* found = nullptr;
  for (size_t i = 0; stored && i < stored->values.size() && !found; ++i) {
    if (EqualNoCase(stored->values[i].name, name)) found = &stored->values[i];
  }
  if (!found) return ERROR_FILE_NOT_FOUND;
  if (type) *type = found->type;
  const DWORD length = static_cast<DWORD>(found->data.size());
  if (!data) {
    if (size) *size = length;
    return ERROR_SUCCESS;
  }
  const DWORD room = *size;
  *size = length;
  if (room < length) return ERROR_MORE_DATA;
  if (length) std::memcpy(data, found->data.data(), length);
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (reserved || (!data && size) || (type == REG_DWORD && size != 4)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string path;
  REGSAM access = 0;
  if (!ResolveHandle(key, &path, &access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  StoreWriteLock storeLock;
  std::vector<RegistryKey> keys;
  if (!storeLock.Held() || LoadRegistry(&keys) != StoreState::Read) return ERROR_ACCESS_DENIED;
  RegistryKey* stored = FindKey(keys, path);
  if (!stored) {
    // The key lives only as a parent of others, or another process rewrote the file.
    keys.push_back(RegistryKey{path, {}});
    stored = &keys.back();
  }
  const std::string name = valueName ? valueName : "";
  RegistryValue* target = nullptr;
  for (RegistryValue& value : stored->values) {
    if (EqualNoCase(value.name, name)) target = &value;
  }
  if (!target) {
    stored->values.push_back(RegistryValue());
    target = &stored->values.back();
    target->name = name;
  }
  target->type = type;
  target->data.assign(data, data + size);
  return SaveRegistry(keys);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(g_mutex);
  OpenKey* open = reinterpret_cast<OpenKey*>(key);
  if (!OpenKeys().erase(open)) return ERROR_INVALID_HANDLE;
  delete open;
  return ERROR_SUCCESS;
}
