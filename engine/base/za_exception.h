// EZAException: every failure the archive engine detects by itself. It is
// built from an engine code (0..63); a fixed code table maps the code to one
// of 39 message texts, which may be filled with arguments, prefixed with the
// raising archiver's name and always end with the code as a five-digit
// "native error":
//
//   Zipper: Archive is not open - Native error: 00013
//
// This unit owns the codes (EngineCode), the texts and how a message is
// composed.
#ifndef TESSALY_ENGINE_BASE_ZA_EXCEPTION_H_
#define TESSALY_ENGINE_BASE_ZA_EXCEPTION_H_

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "engine/base/component.h"
#include "engine/base/messages.h"
#include "platform/exception.h"

namespace tessaly::engine {

// Number of engine codes (0..63) and of message texts (0..38); the message
// table has two more, empty, slots (39, 40) that no code selects.
inline constexpr int32_t kEngineCodeCount = 64;
inline constexpr int32_t kEngineMessageCount = 39;
inline constexpr int32_t kEngineMessageSlots = 41;

// The engine's codes (an exception's NativeError), each named once; every
// raise site uses these names. The numbers are part of the messages
// ("Native error: 00046") and of what hosts compare, so they never change.
// The code table holds further codes (0..62) that belong to operations this
// engine does not contain; nothing raises them, so they have no name.
enum EngineCode : int32_t {
  kCodePutItemIndex = 1,       // directory store: PutItem outside 0..Count-1
  kCodeGetItemIndex = 2,       // directory store: GetItem outside the range
  kCodeItemPtrIndex = 3,       // directory store: ItemPtr outside the range
  kCodeDeleteItemIndex = 4,    // directory store: DeleteItem outside the range
  kCodeCompressionMode = 5,    // CompressionMode set above 9
  kCodeNoArchiveStream = 6,    // the stream to write or carry over from is gone
  kCodeNoOldEntry = 7,         // an entry to carry over is not in SavedDir
  kCodeNoFileName = 9,         // an operation on a file archive without a name
  kCodeOpenNoFileName = 10,    // Open of a file archive without a name
  kCodeArchiveNotFound = 12,   // Open of an archive file that does not exist
  kCodeNotOpen = 13,           // an operation that needs an open archive
  kCodeDeleteFile = 27,        // a moved source file cannot be deleted
  kCodeInMemoryCreateOnly = 28,   // an in-memory archive opened otherwise
  kCodeInMemoryNoFileName = 29,   // InMemory switched off without a FileName
  kCodeReadOnly = 32,          // an update on an archive opened read-only
  kCodeOpenFile = 33,          // a source file or folder cannot be read
  kCodeCompressedSize = 34,    // the data written is not the size expected
  kCodeNoLocalHeader = 35,     // recovery finds no local header
  kCodeRenameVolume = 36,      // the last volume cannot take its final name
  kCodeZip64EndRecord = 40,    // the Zip64 end record cannot be read
  kCodeZip64Size = 41,         // sizes need Zip64 while zmDisabled
  kCodeZip64Header = 43,       // a local header needs Zip64 while zmDisabled
  kCodeMultiVolumeRebuild = 44,   // a multi-volume directory cannot be rebuilt
  kCodeVolumeDeclined = 45,    // a needed volume cannot be obtained
  kCodeWriteError = 46,        // a stream took fewer bytes than asked
  kCodeStubTooLarge = 47,      // the stub exceeds the first volume
  kCodeOpenFailed = 48,        // the directory of an archive cannot be read
  kCodeMultiVolumeModified = 52,  // a filled multi-volume archive changed
                                  // outside a transaction
  kCodeDamaged = 57,           // the directory contradicts the archive
  kCodePutItemNames = 58,      // hashed names out of step (PutItem)
  kCodeRenameItemNames = 59,   // hashed names out of step (RenameItem)
  kCodeDeleteFolder = 60,      // a moved source folder cannot be removed
  kCodeNameTooLong = 61,       // a name too long to read or to store
  kCodeMultipleTransactions = 62,  // a second update of a multi-volume archive
  // A later file of one selection would be stored under the name of a file
  // selected before it: the first source, the second source, the stored
  // name.
  kCodeSameName = 63,
};

// The message number of an engine code, or 0 ("Unknown error") for a code
// that is not in the code table.
int32_t EngineMessageNumber(int32_t code);

// The text of message `number` with its placeholders unfilled; empty for the
// unused slots and for numbers outside 0..40.
std::string_view EngineMessageText(int32_t number);

// Composes the message of an engine exception:
//   [name ": "] text " - Native error: " NNNNN
// where text is the code's message, formatted with `args` by FormatMessage
// when `format` is true (left raw otherwise), name is `archiver_name` when
// not empty, and NNNNN is the code printed as "%5d" with every blank turned
// into "0" (13 -> "00013", -1 -> "000-1", 123456 -> "123456").
std::string ComposeEngineMessage(int32_t code, std::span<const FormatArg> args,
                                 bool format, std::string_view archiver_name);

class EZAException : public platform::Exception {
 public:
  // Plain form: the code's text is used as it stands. `archiver` (not
  // owned, may be null) only lends its name to the message.
  explicit EZAException(int32_t code, const Component* archiver = nullptr);

  // Formatting form: the code's text is filled with `args` ("%s" text, "%d"
  // integer) in order; surplus arguments are ignored, and a placeholder
  // without an argument stays in the text as written.
  EZAException(int32_t code, std::initializer_list<FormatArg> args,
               const Component* archiver = nullptr);

  // The message number (0..38) the code selected; 0 for unknown codes.
  int32_t ErrorCode() const noexcept { return error_code_; }
  // The code that was raised.
  int32_t NativeError() const noexcept { return native_error_; }

  const char* ClassName() const noexcept override { return "EZAException"; }

 private:
  int32_t error_code_;
  int32_t native_error_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_ZA_EXCEPTION_H_
