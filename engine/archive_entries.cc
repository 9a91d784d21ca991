// The entries of the open archive, for applications that list them.
#include "engine/archiver.h"
#include "engine/directory/dir_manager.h"

namespace tessaly::engine {

int32_t TZABaseArchiver::EntryCount() const {
  return DirManager != nullptr ? DirManager->Dir.Count() : 0;
}

EntryInfo TZABaseArchiver::Entry(int32_t index) const {
  return DescribeEntry(DirManager->Dir.ItemPtr(index));
}

}  // namespace tessaly::engine
