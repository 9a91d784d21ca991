// Wildcard masks: "*" matches any run of characters (none included), "?"
// one character, every other character itself (brackets too: there are no
// sets or ranges). A mask always matches the whole name. ASCII letters
// match regardless of case; every other character, accented letters
// included, must match exactly. Names and masks are UTF-8: a multi-byte
// sequence is one character.
#ifndef TESSALY_ENGINE_IO_MASK_H_
#define TESSALY_ENGINE_IO_MASK_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace tessaly::engine {

enum TMaskKind : uint8_t {
  mkLiteral = 0,  // one byte, compared after ASCII upper-casing
  mkAny = 1,      // "?": any one character, not the end of the name
  mkPair = 2,     // one multi-byte UTF-8 character, compared exactly
};

// One element of a compiled mask.
struct TMaskState {
  uint8_t AfterStar;  // preceded by "*": may skip name characters first
  TMaskKind Kind;
  char Literal;      // mkLiteral: the mask byte, a..z upper-cased; NUL = end
  uint8_t LeadByte;  // mkPair: first byte of the sequence
  uint8_t TrailByte[3];  // mkPair: the continuation bytes
  uint8_t TrailCount;    // mkPair: how many of TrailByte are used (0..3)
};

class TMask {
 public:
  // At most this many states may follow a "*" (a run of stars, such as
  // "**", counts once).
  static constexpr int kMaxStarStates = 30;

  // Compiles `mask`; the text ends at its end or at its first NUL byte.
  // "*" followed by "?" keeps the "?" out of the program ("*?" compiles
  // like "*", "a*?b" like "a*b"). A lead byte followed by its continuation
  // bytes becomes one mkPair state; a sequence cut short (by the end of the
  // mask or by a byte that is not a continuation byte) keeps the bytes it
  // has, and a byte that cannot start a sequence is a literal.
  // Raises platform::Exception "'<mask>' is an invalid mask at (<pos>)"
  // when a 31st star state occurs; <pos> is the 1-based position in the
  // mask of the first "*" of that star run. Nothing is left allocated then.
  explicit TMask(std::string_view mask);
  TMask(const TMask&) = delete;
  TMask& operator=(const TMask&) = delete;
  ~TMask() = default;

  // True when the whole of `name` matches (the name ends at its end or at
  // its first NUL byte). Never throws, never allocates and never reads
  // outside `name`; time is polynomial in the name's length.
  bool IsMatch(std::string_view name) const;

  // The compiled program; its last state is the NUL literal that matches
  // the end of the name.
  const TMaskState* States() const { return states_.get(); }
  size_t StateCount() const { return state_count_; }

 private:
  // Runs the compiler over `mask`; fills `states` when it is not null.
  static size_t Compile(std::string_view mask, TMaskState* states);

  std::unique_ptr<TMaskState[]> states_;
  size_t state_count_ = 0;
};

// Compiles `mask` and tests `name` against it: TMask(mask).IsMatch(name).
// Raises what the TMask constructor raises.
bool MaskMatch(std::string_view name, std::string_view mask);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_MASK_H_
