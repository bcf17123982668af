// Finding a media file (an .x file or a texture named inside one) by its bare name.
#pragma once

#include <string>

// The name as given when that file exists, else the same name beside the executable.
// False (and *path empty) when neither exists.
bool DXUtil_FindMediaFile(const char* strName, std::string* path);
