#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The name a file is written under, beside its destination, until it is complete: the
// destination's full name with ".vxtmp" appended. A start ended midway leaves at most such a file,
// which the next start writes anew; the user's files are never written under their own names.
inline constexpr wchar_t kTemporarySuffix[] = L".vxtmp";
std::wstring TemporaryNameOf(const std::wstring& destination);

// True when the name ends with the temporary suffix (any case).
bool IsTemporaryName(std::wstring_view name);

// What becomes of an existing destination that differs from its source, from its attributes and
// those of its ".bak" (INVALID_FILE_ATTRIBUTES when there is none). A read-only file was made so
// by the user or an administrator and is left alone, as is a file whose ".bak" is read-only or a
// folder: its content could not be kept. Hidden and system files are replaced like any other: the
// attributes travel with the user's file into the ".bak".
enum class ExistingFileAction { kLeave, kReplaceKeepingBackup };
ExistingFileAction DecideExistingFile(std::uint32_t destinationAttributes, std::uint32_t backupAttributes);

// The changes every step makes through these, so that a refusal that passes is tried again
// (common/refusal_retry.h) and nothing half-made stays behind.

// Renames a file or folder.
bool MoveWithRetries(const std::wstring& from, const std::wstring& to, unsigned long flags);

// Creates a folder; true also when it exists already as a folder.
bool CreateFolderWithRetries(const std::wstring& folder);

// Deletes a file of the starter's own making (a temporary copy, a copy in a folder being built),
// its read-only, hidden and system attributes taken off first: Windows neither copies over such a
// file nor creates one of its name. A link of that name is deleted as a link. True when no file of
// that name is left.
bool RemoveOwnFile(const std::wstring& path);

// Copies a file to a name of the starter's own (over a leftover of that name), with the read-only
// attribute taken off when the source may carry it. A failed copy leaves no file under that name,
// not even the part that Windows may leave of a copy onto a full disk.
bool CopyToOwnName(const std::wstring& source, const std::wstring& target, bool sourceMayBeReadOnly);

// Copies the source to the destination's temporary name, then renames it to the destination;
// with replaceExisting it takes the place of an existing file, else only of a missing one. False
// when either step failed, or the temporary name would not fit 259 characters; then the
// destination is as it was and no temporary file is left.
bool CopyIntoPlace(const std::wstring& source, const std::wstring& destination, bool sourceMayBeReadOnly,
                   bool replaceExisting);

// Copies the source to the destination's temporary name; only when the copy is complete does the
// destination become its backup (a rename in the same folder, over an older backup) and the copy
// take its place. False when a step failed; then the destination is as it was (a full disk, an
// unwritable folder, a file in use) and no temporary file is left, or, when even the rename back
// failed, the user's file is its backup and the destination's name is free.
bool ReplaceKeepingBackup(const std::wstring& source, const std::wstring& destination, const std::wstring& backup,
                          bool sourceMayBeReadOnly);

// Writes the bytes under the file's temporary name and moves that over the file, for a file the
// starter writes whole and can rebuild (not forced to disk). False, with the file untouched and no
// temporary left, when any step failed.
bool ReplaceFileContent(const std::wstring& path, std::string_view bytes);

// The whole content of a file, or nothing when it cannot be read or is larger than the capacity.
std::optional<std::string> ReadFileContent(const std::wstring& path, std::size_t capacity);

// A file the starter writes whole (the parameter file, the user settings file with its platform
// entry) carries a mark in its last-write time: the fraction of its second is kStarterWriteMark
// hundred-nanosecond units. A save by any other program gives the file its own time, so the mark
// tells the starter's own output from the user's edit without a record of it. A file system with
// coarser times (FAT) drops the mark; the file then counts as the user's, which costs nothing.
inline constexpr unsigned long kStarterWriteMark = 4711;
void MarkAsStarterWrite(void* openFile);
bool CarriesStarterWriteMark(const std::wstring& path);

// Takes away what a start ended while writing the destination left under its temporary name.
// True when nothing is left there.
bool RemoveLeftoverTemporary(const std::wstring& destination);

// Takes the read-only attribute off a file; nothing when it has none or does not exist.
void MakeWritable(const std::wstring& path);

// Deletes a file even when it is read-only, for a removal the user asked for.
bool DeleteFileOfUser(const std::wstring& path);

}  // namespace velmora
