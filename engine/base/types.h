// The engine's enumerations. Each is stored in one byte and keeps the
// ordinal values the archive engine has always used, so that settings saved
// by number keep their meaning.
#ifndef TESSALY_ENGINE_BASE_TYPES_H_
#define TESSALY_ENGINE_BASE_TYPES_H_

#include <cstdint>

namespace tessaly::engine {

enum TZACompressionLevel : uint8_t { clNone = 0, clFastest = 1, clNormal = 2, clMax = 3 };

enum TZASpanningMode : uint8_t { smNone = 0, smSpanning = 1, smSplitting = 2 };

enum TZip64Mode : uint8_t { zmDisabled = 0, zmAuto = 1, zmAlways = 2 };

enum TZAStorePathMode : uint8_t {
  spNoPath = 0,
  spRelativePath = 1,
  spFullPath = 2,
  spFullPathWithDrive = 3
};

enum TZAFileShareMode : uint8_t {
  smShareCompat = 0,
  smShareExclusive = 1,
  smShareDenyWrite = 2,
  smShareDenyRead = 3,
  smShareDenyNone = 4
};

enum TZAOverwriteMode : uint8_t {
  omPrompt = 0,
  omAlways = 1,
  omNever = 2,
  omIfNewer = 3,
  omIfOlder = 4
};

enum TZAVolumeSize : uint8_t {
  vsAutoDetect = 0,
  vsCustom = 1,
  vs1_44MB = 2,
  vs100MB = 3,
  vs200MB = 4,
  vs250MB = 5,
  vs600MB = 6,
  vs650MB = 7,
  vs700MB = 8,
  vs4700MB = 9
};

enum TZAProcessOperation : uint8_t {
  poAdd = 0,
  poMove = 1,
  poDelete = 2,
  poUpdate = 3,
  poExtract = 4,
  poTest = 5,
  poRename = 6,
  poChangeAttr = 7,
  poChangeComment = 8,
  poMakeSFX = 9
};

enum TZAProgressPhase : uint8_t { ppStart = 0, ppProcess = 1, ppEnd = 2 };

enum TZAAction : uint8_t { fxaRetry = 0, fxaIgnore = 1, fxaAbort = 2 };

// Open modes: 16-bit file modes. The low two bits select the access
// (0 read, 1 write, 2 read/write), bits 4-6 the sharing.
inline constexpr uint16_t kOpenCreate = 0xFFFF;
inline constexpr uint16_t kOpenReadWriteDenyWrite = 0x22;
inline constexpr uint16_t kOpenReadOnlyDenyNone = 0x40;
inline constexpr uint16_t kOpenReadWriteDenyNone = 0x42;

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_TYPES_H_
