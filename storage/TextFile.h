// The data directory, safe replacement of a data file, and UTF-8 text on disk.
#pragma once

#include "core/Types.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

// The folder of the running executable, without a trailing separator; "" when the
// executable's path cannot be obtained. Not cached: every caller asks afresh.
std::wstring GetAppDirectory();
// The full path of the running executable; "" when it cannot be obtained.
std::wstring RunningExecutablePath();

// Everything before the last "\" or "/"; the whole path when there is neither.
std::wstring_view DirectoryOfPath(std::wstring_view path);

// GetAppDirectory() + "\" + name.
std::wstring DataFilePath(std::wstring_view name);

// Writes the new content into the open binary stream and returns true to commit.
using FileWriter = std::function<bool(std::ostream&)>;

// The temporary file a safe write of `path` goes through before it is moved over it.
inline std::wstring SafeWriteTemporaryPath(const std::wstring& path) {
    return path + L".tmp";
}

// Replaces the file at path with what writer produces: the content goes to path + ".tmp",
// is flushed to disk and then moved over the target. Returns true only when the new
// content is in place. On any failure the old file stays and no temporary file remains.
bool SafeWriteFile(const std::wstring& path, const FileWriter& writer);

// Moves the file `from` to the first of nameFor(1), nameFor(2), ..., nameFor(tries) that is
// free, never over a file that is there; the name taken, or empty when none could be.
std::wstring MoveToFreeName(const std::wstring& from, int tries, const std::function<std::wstring(int)>& nameFor);

// The system calls SafeWriteFile makes, as plain function pointers so a test can make one
// of them fail. Each reports failure the way its system call does (false + GetLastError).
struct SafeWriteSteps {
    // WriteFile on the open temporary file: writes up to count bytes, stores how many.
    bool (*write)(void* file, const char* data, unsigned long count, unsigned long* written);
    // FlushFileBuffers on the open temporary file.
    bool (*flush)(void* file);
    // One attempt to move the closed temporary over the target (MoveFileExW, replacing it).
    // Sharing violations and denied access are retried a few times.
    bool (*move)(const wchar_t* from, const wchar_t* to);
};

// The real system calls; what SafeWriteFile(path, writer) uses.
SafeWriteSteps SystemWriteSteps();

// SafeWriteFile with the given steps in place of the system calls.
bool SafeWriteFile(const std::wstring& path, const FileWriter& writer, const SafeWriteSteps& steps);

// How reading a whole file went. A file that is there but cannot be read (held by another
// program without sharing, access denied, 2 GB or larger) is not the same as no file: its
// content is unknown, and nothing may be written over it on the strength of that.
enum class FileRead { Read, Missing, Unreadable };

struct TextFileContent {
    FileRead status = FileRead::Missing;
    bool opened = false; // status is Read
    std::wstring text;   // decoded content; empty when empty or undecodable
    FileStamp stamp;     // the file as it was read
};

// Reads and decodes a whole file with DecodeDataBytes.
TextFileContent ReadTextFile(const std::wstring& path, bool trimTrailing);

// The text of a data file's bytes: trimTrailing drops trailing bytes below 33 (blanks, line
// ends, control bytes); then UTF-8 after a byte order mark, else strict UTF-8, else the ANSI
// code page. Empty when nothing is left or nothing decodes. Every reader of the data files
// goes through here.
std::wstring DecodeDataBytes(std::string_view bytes, bool trimTrailing);

// The whole file as bytes, and (when asked) what it looked like as it was read.
FileRead ReadFileBytes(const std::wstring& path, std::string& bytes, FileStamp* stamp = nullptr);

// Size and last write time of a file as it is now; exists false when there is none.
FileStamp ReadFileStamp(const std::wstring& path);

// Files the readers refuse: their text could not be converted in one piece.
inline constexpr uint64_t kMaxDataFileBytes = 0x7FFFFFFF;

// UTF-16 to UTF-8 and back (lenient: invalid input becomes U+FFFD).
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// No UTF-16 code unit takes more than 3 bytes of UTF-8 (a surrogate pair takes 4 for 2).
inline constexpr size_t kMaxUtf8PerUnit = 3;

// Encodes text as UTF-8 at dest (room for kMaxUtf8PerUnit bytes per unit); returns the end.
char* EncodeUtf8(std::wstring_view text, char* dest);
// The same for text[from...] up to the first CR or LF (or the end); `from` is left there.
char* EncodeUtf8Line(std::wstring_view text, size_t& from, char* dest);

// UTF-8 bytes built piece by piece in memory that is kept between uses: the bytes are the
// first `length` of `bytes`; the rest is spare room that is never cleared again.
struct Utf8Buffer {
    std::string bytes;
    size_t length = 0;

    void Clear() { length = 0; }
    void Append(std::wstring_view text);
    // Room for `extra` more bytes, written at the pointer returned and then committed up to the
    // end of what was written.
    char* Reserve(size_t extra);
    void Commit(const char* end) { length = static_cast<size_t>(end - bytes.data()); }
    std::string_view View() const { return std::string_view(bytes.data(), length); }
};

// Drops trailing bytes below 33, as the data file readers do.
std::string_view TrimTrailingControl(std::string_view bytes);

// The byte order mark written at the start of every plain data file.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
