// Signatures, version values, general purpose flags and Zip64 markers of the
// records the engine writes and reads (APPNOTE 4.3, 4.4.2-4.4.4).
//
// Two signature sets exist for the local header, the central header and the
// end record: the standard ZIP set and an alternate set of the same format.
// TZipArchiver always writes the standard set; readers recognise both. The
// Zip64 records and the data descriptor have one signature only.
#ifndef TESSALY_ENGINE_FORMAT_SIGNATURES_H_
#define TESSALY_ENGINE_FORMAT_SIGNATURES_H_

#include <cstdint>

namespace tessaly::engine {

// Standard set; on disk "PK" followed by two record bytes.
inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr uint32_t kEndRecordSignature = 0x06054B50;

// Alternate set; on disk 61 5C 04 05, 61 5C 02 03 and 41 41 05 06.
inline constexpr uint32_t kAltLocalHeaderSignature = 0x05045C61;
inline constexpr uint32_t kAltCentralHeaderSignature = 0x03025C61;
inline constexpr uint32_t kAltEndRecordSignature = 0x06054141;

// Shared by both sets.
inline constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
inline constexpr uint32_t kDataDescriptorSignature = 0x08074B50;

struct SignatureSet {
  uint32_t local;
  uint32_t central;
  uint32_t end;
};

inline constexpr SignatureSet kStandardSignatures{
    kLocalHeaderSignature, kCentralHeaderSignature, kEndRecordSignature};
inline constexpr SignatureSet kAlternateSignatures{kAltLocalHeaderSignature,
                                                   kAltCentralHeaderSignature,
                                                   kAltEndRecordSignature};

// The set selected by the archiver's ZipFormat setting: standard when true.
constexpr const SignatureSet& SignaturesFor(bool zip_format) {
  return zip_format ? kStandardSignatures : kAlternateSignatures;
}

// Version made by / needed to extract. The upper byte (host system) is
// written into both fields.
inline constexpr uint16_t kVersionOem = 0x0014;    // host 0, version 2.0
inline constexpr uint16_t kVersionAnsi = 0x0B14;   // host 11, version 2.0
inline constexpr uint16_t kVersionZip64 = 0x002D;  // host 0, version 4.5
// The alternate flavour's values for local and central headers.
inline constexpr uint16_t kAltVersion = 0x4114;
inline constexpr uint16_t kAltVersionZip64 = 0x412D;

// A 16- or 32-bit field holding its marker keeps the real value in a Zip64
// record or extra field (APPNOTE 4.4.8, 4.5.3).
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Marker16 = 0xFFFF;

// General purpose bit flags (APPNOTE 4.4.4).
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagFolder = 0x0002;  // what a folder entry holds
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagUtf8Name = 0x0800;  // name and comment in UTF-8

// Compression methods the engine writes.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;

// Header ID of the Zip64 extended information extra field (APPNOTE 4.5.3).
inline constexpr uint16_t kZip64ExtraId = 0x0001;

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_SIGNATURES_H_
