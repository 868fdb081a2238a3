#include "storage/data_folder.h"

#include <cstring>

#include "platform/system.h"

namespace vantorel {

char dataFolder[kPathSize] = "";

void FormDataFolder() {
  if (!TheSystem().FormDataFolder(dataFolder, sizeof dataFolder)) dataFolder[0] = '\0';
  dataFolder[kPathSize - 1] = '\0';
}

bool JoinPath(char (&path)[kPathSize], const char* folder, const char* name) {
  const std::size_t folderLength = std::strlen(folder);
  const std::size_t nameLength = std::strlen(name);
  if (folderLength == 0 || folderLength + nameLength >= sizeof path) {
    path[0] = '\0';
    return false;
  }
  std::memcpy(path, folder, folderLength);
  std::memcpy(path + folderLength, name, nameLength + 1);
  return true;
}

}  // namespace vantorel
