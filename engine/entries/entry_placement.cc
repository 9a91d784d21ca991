#include "engine/entries/entry_placement.h"

#include <string>

#include "engine/format/signatures.h"
#include "platform/exception.h"
#include "platform/text.h"

namespace tessaly::engine {

namespace {

bool SamePlace(const TDirItem& a, const TDirItem& b) {
  return a.LocalHeaderOffset() == b.LocalHeaderOffset() &&
         a.DiskStart() == b.DiskStart();
}

bool SameName(const std::string& a, const std::string& b) {
  return a == b || platform::AnsiLowerCase(a) == platform::AnsiLowerCase(b);
}

}  // namespace

int32_t FindOldItem(TZADirArray& saved, const TDirItem& item) {
  int32_t found = -1;
  const bool name_known = saved.FindName(item.StoredName, found);
  if (name_known && SamePlace(saved.ItemPtr(found), item)) return found;

  // Duplicate names, a replaced entry (its offset is new by now) or a
  // renamed one: search from the start.
  const bool rename = item.Pending && item.EntryAction == poRename;
  int32_t first_same_name = -1;
  int32_t first_same_place = -1;
  for (int32_t j = 0; j < saved.Count(); ++j) {
    const TDirItem& old = saved.ItemPtr(j);
    if (SamePlace(old, item)) {
      if (SameName(old.StoredName, item.StoredName)) return j;
      if (rename && first_same_place < 0) first_same_place = j;
    } else if (name_known && first_same_name < 0 &&
               SameName(old.StoredName, item.StoredName)) {
      first_same_name = j;
    }
  }
  return first_same_name >= 0 ? first_same_name : first_same_place;
}

int32_t GiveOldEntryBack(TZADirArray& dir, TZADirArray& saved, int32_t index) {
  const int32_t old = FindOldItem(saved, dir.ItemPtr(index));
  if (old >= 0) dir.PutItem(index, saved.ItemPtr(old));
  return old;
}

void SetLocalOffset(TDirItem& item, int64_t position, TZip64Mode mode) {
  if (position >= static_cast<int64_t>(kZip64Marker32) || mode == zmAlways) {
    item.HasZip64 = true;
    item.header.local_header_offset = kZip64Marker32;
    item.Zip64LocalOffset = static_cast<uint64_t>(position);
  } else {
    item.header.local_header_offset = static_cast<uint32_t>(position);
  }
}

void SetDiskStart(TDirItem& item, int32_t volume) {
  const uint32_t number = volume < 0 ? 0 : static_cast<uint32_t>(volume);
  if (number >= kZip64Marker16) {
    item.HasZip64 = true;
    item.header.disk_number_start = kZip64Marker16;
    item.Zip64DiskStart = number;
  } else {
    item.header.disk_number_start = static_cast<uint16_t>(number);
  }
}

void CutAt(platform::Stream& stream, int64_t position) {
  if (stream.Seek(position) != position || !stream.SetSize(position)) {
    throw platform::EWriteError();
  }
}

}  // namespace tessaly::engine
