#include "engine/base/za_exception.h"

#include <array>
#include <string>

namespace tessaly::engine {

namespace {

constexpr std::array<std::string_view, kEngineMessageSlots> kMessages = {
    "Unknown error",                                                        // 0
    "Index out of bounds",                                                  // 1
    "Invalid compression mode. Mode must be in [0-9] range",                // 2
    "Unexpected nil pointer",                                               // 3
    "Invalid size or check sum of file or unsupported compression format",  // 4
    "File name is blank. Specify appropriate file name",                    // 5
    "File \"%s\" not found",                                                // 6
    "Archive is not open",                                                  // 7
    "SFXStub property is not specified",                                    // 8
    "Cannot create file \"%s\"",                                            // 9
    "Cannot create directory \"%s\"",         // 10
    "Internal error. Update is not started",  // 11
    "Cannot open file \"%s\"",                // 12
    "Cannot proceed when update is not ended. Preceding EndUpdate call is "
    "required.",                                           // 13
    "Cannot delete file \"%s\"",                           // 14
    "In-memory archive can be created only",               // 15
    "File is open in read-only mode",                      // 16
    "Invalid compressed size, rfs.size = %d, count = %d",  // 17
    "Invalid archive file.",                               // 18
    "Cannot create output file. Probably file is locked by another "
    "process. FileName = '%s'.",  // 19
    "Archive is open. You should close it beore performing this "
    "operation.",                                                       // 20
    "Unable to create directory",                                       // 21
    "Cannot find Zip64 directory end record",                           // 22
    "Cannot compress file '%s'. Zip64 mode is not enabled",             // 23
    "Cannot open archive file. Opening aborted or invalid file",        // 24
    "Write to stream error",                                            // 25
    "Cannot place SFX stub on volume. Volume size limit is too small",  // 26
    "Archive is damaged. Open failed",                                  // 27
    "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub "
    "before archive creation instead of MakeSFX",             // 28
    "Archive already has SFX stub",                           // 29
    "Multi-volume archive is not allowed for custom stream",  // 30
    "Multi-spanned archive is not allowed for modification. Use "
    "BeginUpdate/EndUpdate methods to add files several times",           // 31
    "Deflate64 compression method is not supported",                      // 32
    "MakeSFX error",                                                      // 33
    "Hashed list of file names is invalid",                               // 34
    "Cannot delete folder \"%s\"",                                        // 35
    "File name is too long: \r\n\"%s\"",                                  // 36
    "Multiple transactions are not supported for multi-volume archives",  // 37
    "Files \"%s\" and \"%s\" would be stored under the same name \"%s\"",  // 38
    "",                                                                   // 39
    "",                                                                   // 40
};

struct CodeEntry {
  int32_t code;
  int32_t message;
};

// Code -> message number, in ascending order of code.
constexpr std::array<CodeEntry, kEngineCodeCount> kCodes = {{
    {0, 0},   {1, 1},   {2, 1},   {3, 1},   {4, 1},   {5, 2},   {6, 3},
    {7, 1},   {8, 4},   {9, 5},   {10, 5},  {11, 6},  {12, 6},  {13, 7},
    {14, 7},  {15, 6},  {16, 1},  {17, 8},  {18, 6},  {19, 9},  {20, 10},
    {21, 1},  {22, 11}, {23, 9},  {24, 1},  {25, 11}, {26, 13}, {27, 14},
    {28, 15}, {29, 5},  {30, 6},  {31, 6},  {32, 16}, {33, 12}, {34, 17},
    {35, 18}, {36, 19}, {37, 20}, {38, 6},  {39, 21}, {40, 22}, {41, 23},
    {42, 6},  {43, 23}, {44, 24}, {45, 24}, {46, 25}, {47, 26}, {48, 27},
    {49, 28}, {50, 29}, {51, 30}, {52, 31}, {53, 6},  {54, 6},  {55, 32},
    {56, 33}, {57, 27}, {58, 34}, {59, 34}, {60, 35}, {61, 36}, {62, 37},
    {63, 38},
}};

}  // namespace

int32_t EngineMessageNumber(int32_t code) {
  for (const CodeEntry& entry : kCodes) {
    if (entry.code == code) return entry.message;
  }
  return 0;
}

std::string_view EngineMessageText(int32_t number) {
  if (number < 0 || number >= kEngineMessageSlots) return {};
  return kMessages[static_cast<size_t>(number)];
}

std::string ComposeEngineMessage(int32_t code, std::span<const FormatArg> args,
                                 bool format, std::string_view archiver_name) {
  std::string_view text = EngineMessageText(EngineMessageNumber(code));
  std::string message;
  if (!archiver_name.empty()) {
    message.append(archiver_name);
    message.append(": ");
  }
  message.append(format ? FormatMessage(text, args) : std::string(text));
  std::string native = FormatMessage("%5d", {code});
  for (char& c : native) {
    if (c == ' ') c = '0';
  }
  message.append(" - Native error: ");
  message.append(native);
  return message;
}

namespace {

std::string_view NameOf(const Component* archiver) {
  return archiver ? std::string_view(archiver->Name()) : std::string_view();
}

}  // namespace

EZAException::EZAException(int32_t code, const Component* archiver)
    : platform::Exception(
          ComposeEngineMessage(code, {}, false, NameOf(archiver))),
      error_code_(EngineMessageNumber(code)),
      native_error_(code) {}

EZAException::EZAException(int32_t code, std::initializer_list<FormatArg> args,
                           const Component* archiver)
    : platform::Exception(ComposeEngineMessage(
          code, std::span<const FormatArg>(args.begin(), args.size()), true,
          NameOf(archiver))),
      error_code_(EngineMessageNumber(code)),
      native_error_(code) {}

}  // namespace tessaly::engine
