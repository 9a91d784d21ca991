// The mask is compiled once into an array of states that ends with a NUL
// literal standing for the end of the name. Matching walks the states left
// to right. A state preceded by "*" first skips forward to the next place
// where it could match and records a retry point one byte further on; when
// a later state fails, the most recent retry point is resumed. Retry
// points are kept in increasing state order (each walk only pushes states
// after the one it resumed), so one stack slot per star state suffices.
//
// Pure backtracking is exponential for masks such as "*a*a*a*a*b" against
// a long run of "a"s. Whether the states from star state k onwards can
// match when k's search starts at position p depends only on (k, p), and a
// later start can only do worse. So once a search for k that started at p
// is exhausted, any later walk that reaches k at p or beyond fails at once;
// this bounds the work by a polynomial without changing any result.
#include "engine/io/mask.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/base/messages.h"
#include "platform/exception.h"
#include "platform/text.h"

namespace tessaly::engine {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view UpToNul(std::string_view s) {
  return s.substr(0, std::min(s.find('\0'), s.size()));
}

// Bytes of the character starting at `pos`: the whole character when the
// text holds it (a UTF-8 sequence, or a lead and trail byte of a double-byte
// code page); for one cut short, the lead byte plus the continuation bytes
// it announces, as far as they are present.
size_t CharLength(std::string_view s, size_t pos) {
  const size_t whole = platform::AnsiCharLength(s, pos);
  if (whole > 1) return whole;
  size_t expected = static_cast<size_t>(
      platform::AnsiCharLength(static_cast<unsigned char>(s[pos])));
  size_t n = 1;
  while (n < expected && pos + n < s.size() &&
         IsContinuation(static_cast<unsigned char>(s[pos + n]))) {
    ++n;
  }
  return n;
}

bool PairAt(const TMaskState& state, std::string_view name, size_t pos) {
  if (name.size() - pos < 1u + state.TrailCount) return false;
  if (static_cast<unsigned char>(name[pos]) != state.LeadByte) return false;
  for (size_t i = 0; i < state.TrailCount; ++i) {
    if (static_cast<unsigned char>(name[pos + 1 + i]) != state.TrailByte[i]) {
      return false;
    }
  }
  return true;
}

// Moves `pos` to the first place at or after it where `state` could match,
// or to the end of the name.
size_t SkipTo(const TMaskState& state, std::string_view name, size_t pos) {
  if (state.Kind == mkPair) {
    while (pos < name.size() && !PairAt(state, name, pos)) ++pos;
  } else if (state.Literal == '\0') {
    pos = name.size();
  } else {
    while (pos < name.size() && AsciiUpper(name[pos]) != state.Literal) ++pos;
  }
  return pos;
}

// Tests `state` at `pos`; on a match advances `pos` past what it took.
bool Step(const TMaskState& state, std::string_view name, size_t& pos) {
  switch (state.Kind) {
    case mkAny:
      if (pos >= name.size()) return false;
      pos += CharLength(name, pos);
      return true;
    case mkPair:
      if (pos >= name.size() || !PairAt(state, name, pos)) return false;
      pos += 1u + state.TrailCount;
      return true;
    case mkLiteral:
      if (state.Literal == '\0') return pos == name.size();
      if (pos >= name.size() || AsciiUpper(name[pos]) != state.Literal) {
        return false;
      }
      ++pos;
      return true;
  }
  return false;
}

}  // namespace

TMask::TMask(std::string_view mask) {
  // First pass counts (and checks the star limit before anything is
  // allocated), the second fills an array of exactly that size.
  size_t count = Compile(mask, nullptr);
  states_ = std::make_unique<TMaskState[]>(count);
  state_count_ = Compile(mask, states_.get());
}

size_t TMask::Compile(std::string_view mask, TMaskState* states) {
  std::string_view text = UpToNul(mask);
  size_t count = 0;
  int star_states = 0;
  bool pending_star = false;
  size_t star_run_start = 0;

  auto emit = [&](TMaskState state) {
    if (pending_star) {
      if (++star_states > kMaxStarStates) {
        throw platform::Exception(FormatMessage(
            kInvalidMask, {text, static_cast<int64_t>(star_run_start + 1)}));
      }
    }
    state.AfterStar = pending_star ? 1 : 0;
    pending_star = false;
    if (states != nullptr) states[count] = state;
    ++count;
  };

  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '*') {
      if (!pending_star) star_run_start = i;
      pending_star = true;
      ++i;
      continue;
    }
    TMaskState state{};
    if (c == '?') {
      // A "?" after "*" adds nothing the star does not already match.
      if (!pending_star) {
        state.Kind = mkAny;
        emit(state);
      }
      ++i;
      continue;
    }
    if (platform::AnsiCharLength(c) > 1) {
      size_t length = CharLength(text, i);
      state.Kind = mkPair;
      state.LeadByte = c;
      state.TrailCount = static_cast<uint8_t>(length - 1);
      for (size_t t = 1; t < length; ++t) {
        state.TrailByte[t - 1] = static_cast<unsigned char>(text[i + t]);
      }
      emit(state);
      i += length;
      continue;
    }
    state.Kind = mkLiteral;
    state.Literal = AsciiUpper(static_cast<char>(c));
    emit(state);
    ++i;
  }
  TMaskState end{};
  end.Kind = mkLiteral;
  end.Literal = '\0';
  emit(end);
  return count;
}

bool TMask::IsMatch(std::string_view full_name) const {
  const std::string_view name = UpToNul(full_name);
  constexpr size_t kNever = std::numeric_limits<size_t>::max();

  struct Retry {
    size_t pos;
    size_t state;
    int star;  // ordinal of the state among the star states
  };
  Retry stack[kMaxStarStates];
  int depth = 0;
  // Per star state: the start of the latest search, and the lowest start
  // from which a search is known to fail.
  size_t search_start[kMaxStarStates];
  size_t failed_from[kMaxStarStates];
  std::fill(std::begin(search_start), std::end(search_start), kNever);
  std::fill(std::begin(failed_from), std::end(failed_from), kNever);

  Retry walk{0, 0, 0};
  bool resuming = false;
  while (true) {
    size_t pos = walk.pos;
    int star = walk.star;
    bool matched = true;
    for (size_t s = walk.state; s < state_count_; ++s) {
      const TMaskState& state = states_[s];
      if (state.AfterStar) {
        int k = star++;
        if (!resuming) {
          // A new search for k: every earlier search for k has been
          // exhausted, since this walk resumed a retry point before k.
          if (search_start[k] != kNever) {
            failed_from[k] = std::min(failed_from[k], search_start[k]);
          }
          if (pos >= failed_from[k]) {
            matched = false;
            break;
          }
          search_start[k] = pos;
        }
        pos = SkipTo(state, name, pos);
        if (pos < name.size() && depth < kMaxStarStates) {
          stack[depth++] = Retry{pos + 1, s, k};
        }
      }
      resuming = false;
      if (!Step(state, name, pos)) {
        matched = false;
        break;
      }
    }
    if (matched) return true;
    if (depth == 0) return false;
    walk = stack[--depth];
    resuming = true;
  }
}

bool MaskMatch(std::string_view name, std::string_view mask) {
  return TMask(mask).IsMatch(name);
}

}  // namespace tessaly::engine
