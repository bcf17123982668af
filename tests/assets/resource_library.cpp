#include "tests/assets/resource_library.h"

#include <cstdio>

#include "tests/support/generated_library.h"

namespace assettest {

std::string LibraryPath() { return GeneratedLibrary(); }

ResourceLibrary::ResourceLibrary() : module_(LoadLibraryA(LibraryPath().c_str())) {}

ResourceLibrary::~ResourceLibrary() {
  if (module_) FreeLibrary(module_);
}

bool ResourceLibrary::Has(const std::string& name) const {
  return module_ && FindResourceA(module_, name.c_str(), RT_RCDATA) != nullptr;
}

std::vector<uint8_t> ResourceLibrary::Read(const std::string& name) const {
  if (!module_) return {};
  HRSRC resource = FindResourceA(module_, name.c_str(), RT_RCDATA);
  if (!resource) return {};
  const DWORD size = SizeofResource(module_, resource);
  HGLOBAL loaded = LoadResource(module_, resource);
  const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  if (!bytes || size == 0) return {};
  return std::vector<uint8_t>(bytes, bytes + size);
}

namespace {

std::vector<std::string> Numbered(const char* prefix, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d", prefix, i);
    names.push_back(name);
  }
  return names;
}

}  // namespace

const std::vector<std::string>& TextureNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n = {"BallTex",    "WallWall",       "FloorWall",  "BordurWall",      "GroundEnvHi",
                                  "GroundEnvLow00", "SkyEnviron", "PlateFloor01", "VantorelLogo", "VantorelExit",
                                  "VantorelHelp", "VantorelOptions", "MenuEnum", "UpMenuNums",     "Podskazka",
                                  "Symbols",    "OptTex"};
    for (const auto& group : {Numbered("Caust", 32), Numbered("TexPlace", 5), Numbered("TexFloor", 5)})
      n.insert(n.end(), group.begin(), group.end());
    return n;
  }();
  return names;
}

const std::vector<std::string>& MeshNames() {
  static const std::vector<std::string> names = {"SPHERE0", "SPHERE1", "PlateFloor", "Environ", "MouseModel"};
  return names;
}

const std::vector<std::string>& SampleNames() {
  static const std::vector<std::string> names = {
      "BallSelect",    "BallDown",       "LongDelete",    "ShortDelete", "FloorSelect",
      "FlyNoise",      "SlideNoise",     "Welcome",       "MenuSelect",  "OptRedButton",
      "OptDiodButton", "OptGreenButton", "OptTexsButton", "SoundVolume", "HiRecords"};
  return names;
}

const std::vector<std::string>& SongNames() {
  static const std::vector<std::string> names = {"GameFone1", "GameFone2", "GameFone3"};
  return names;
}

std::vector<std::string> AllNames() {
  std::vector<std::string> all;
  for (const auto* list : {&TextureNames(), &MeshNames(), &SampleNames(), &SongNames()})
    all.insert(all.end(), list->begin(), list->end());
  return all;
}

}  // namespace assettest
