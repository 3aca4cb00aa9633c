#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The name a file is written under, beside its destination, until it is complete: the
// destination's full name with ".vxtmp" appended. A start ended midway leaves at most such a file,
// which the next start writes anew; the user's files are never written under their own names.
inline constexpr wchar_t kTemporarySuffix[] = L".vxtmp";
std::wstring TemporaryNameOf(const std::wstring& destination);

// What becomes of an existing destination that differs from its source, from its attributes and
// those of its ".bak" (INVALID_FILE_ATTRIBUTES when there is none). A read-only file was made so
// by the user or an administrator and is left alone, as is a file whose ".bak" is read-only or a
// folder: its content could not be kept. Hidden and system files are replaced like any other: the
// attributes travel with the user's file into the ".bak".
enum class ExistingFileAction { kLeave, kReplaceKeepingBackup };
ExistingFileAction DecideExistingFile(std::uint32_t destinationAttributes, std::uint32_t backupAttributes);

// Copies the source to the destination's temporary name (over a leftover one), with the read-only
// attribute taken off when the source may carry it, then renames it to the destination; with
// replaceExisting it takes the place of an existing file, else only of a missing one. False when
// either step failed, or the temporary name would not fit 259 characters; then the destination is
// as it was and no temporary file is left.
bool CopyIntoPlace(const std::wstring& source, const std::wstring& destination, bool sourceMayBeReadOnly,
                   bool replaceExisting);

// Copies the source to the destination's temporary name; only when the copy is complete does the
// destination become its backup (a rename in the same folder, over an older backup) and the copy
// take its place. False when a step failed; then the destination is as it was (a full disk, an
// unwritable folder, a file in use) and no temporary file is left.
bool ReplaceKeepingBackup(const std::wstring& source, const std::wstring& destination, const std::wstring& backup,
                          bool sourceMayBeReadOnly);

// Writes the bytes under the file's temporary name and moves that over the file, for a file the
// starter writes whole and can rebuild (not forced to disk). False, with the file untouched and no
// temporary left, when any step failed.
bool ReplaceFileContent(const std::wstring& path, std::string_view bytes);

// Takes away what a start ended while writing the destination left under its temporary name.
void RemoveLeftoverTemporary(const std::wstring& destination);

// Takes the read-only attribute off a file; nothing when it has none or does not exist.
void MakeWritable(const std::wstring& path);

// Deletes a file even when it is read-only, for a removal the user asked for.
bool DeleteFileOfUser(const std::wstring& path);

}  // namespace velmora
