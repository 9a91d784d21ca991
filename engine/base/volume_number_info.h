// Names one volume of a multi-volume archive by kind and number. Numbers are
// zero-based (the first volume is 0); handlers see them counted from 1.
#ifndef TESSALY_ENGINE_BASE_VOLUME_NUMBER_INFO_H_
#define TESSALY_ENGINE_BASE_VOLUME_NUMBER_INFO_H_

#include <cstdint>

namespace tessaly::engine {

enum TZAVolumeKind : uint8_t {
  kindFirst = 0,
  kindLast = 1,
  kindNumbered = 2,
  kindUnknown = 3
};

class TZAVolumeNumberInfo {
 public:
  TZAVolumeKind Kind = kindUnknown;
  int32_t Number = -1;      // -1: not yet determined
  int32_t LastNumber = -1;  // number of the last volume when known, else -1

  TZAVolumeNumberInfo() { Reset(); }

  void Reset() {
    Kind = kindUnknown;
    Number = -1;
    LastNumber = -1;
  }
  bool IsFirst() const { return Number == 0; }
  void SetFirst(bool flag) {
    if (flag) {
      Number = 0;
      Kind = kindFirst;
    }
  }
  // Without a known last number the kind decides; with one, the number.
  bool IsLast() const {
    return LastNumber == -1 ? Kind == kindLast : Number == LastNumber;
  }
  void SetLast(bool flag) {
    if (flag) {
      Number = LastNumber;
      Kind = kindLast;
    }
  }
  void SetNumber(int32_t n) {
    Kind = kindNumbered;
    Number = n;
  }
  bool SameVolume(const TZAVolumeNumberInfo& other) const {
    if (IsLast()) return other.IsLast();
    if (IsFirst()) return other.IsFirst();
    if (Number < 0) return Kind == other.Kind;
    return Number == other.Number;
  }
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_VOLUME_NUMBER_INFO_H_
