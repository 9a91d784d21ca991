#include "engine/io/entry_lookahead.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "engine/io/deflate_adapter.h"

namespace tessaly::engine {

EntryLookahead::EntryLookahead(ParallelDeflate& unit, platform::Env& env,
                               uint16_t open_mode, AheadItems& items)
    : unit_(unit), env_(env), open_mode_(open_mode), items_(items) {}

EntryLookahead::~EntryLookahead() {
  for (const Pending& p : pending_) unit_.Discard(p.block.entry);
}

void EntryLookahead::Fill() {
  AheadItem item;
  while (!unit_.Full() && items_.Next(item)) ReadFirstBlock(item);
}

bool EntryLookahead::ReadFirstBlock(const AheadItem& item) {
  std::shared_ptr<std::vector<uint8_t>> bytes;
  int64_t size = 0;
  try {
    std::unique_ptr<platform::File> file = env_.OpenFile(item.path, open_mode_);
    if (file == nullptr) return false;
    size = file->Size();
    if (size <= 0) return false;
    const int64_t n = std::min(DeflateBlockSize(item.level), size);
    bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(n));
    if (file->Read(bytes->data(), n) != n) return false;
  } catch (const std::exception&) {
    return false;  // a guess only: the entry's own read reports the failure
  }
  const bool last = static_cast<int64_t>(bytes->size()) == size;
  const ParallelDeflate::EntryId entry = unit_.OpenEntry(item.level);
  unit_.Submit(entry, bytes, last);
  pending_.push_back({item, {entry, std::move(bytes), last}});
  return true;
}

std::optional<AheadBlock> EntryLookahead::Claim(const std::string& path,
                                                uint8_t level) {
  const auto found =
      std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
        return p.item.path == path && p.item.level == level;
      });
  if (found == pending_.end()) return std::nullopt;
  AheadBlock block = std::move(found->block);
  for (auto p = pending_.begin(); p != found; ++p) unit_.Discard(p->block.entry);
  pending_.erase(pending_.begin(), found + 1);
  return block;
}

}  // namespace tessaly::engine
