#pragma once

// Process-wide store of INI files with the classic private-profile interface.
//
// Files are parsed once into a cache of 32 entries and reparsed only when their
// modification time or size changes on disk. Every change is written back at
// once through a temporary file (created exclusively beside the file a symlink
// names) renamed over the original, so readers in other processes see either
// the old or the new file, never a partial one.
//
// Section, key and file names are matched without regard to ASCII case except
// file names, which follow the (case-sensitive) file system. Values keep their
// case. All operations are thread-safe (one process-wide recursive lock). For
// reading, a file that cannot be read behaves as an empty one. A write returns
// 0 when the file on disk does not hold the change: the file exists but could
// not be read whole (it is then never replaced), or the write did not reach the
// disk (the file keeps its previous contents and so does the cache).
//
// Writes that could not be read back as written are refused with result 0:
// an empty section name or one containing "]", a key that is empty, contains
// "=" or starts with a blank, a tab or "[", and any name or value containing a
// line break.

// Copies the value of `key` in `section` into `out` (at most size - 1 characters
// and a NUL). Blanks and tabs around the value and one pair of enclosing quotes
// (" or ') are removed. Absent section or key: `defaultValue` (null counts as "")
// is copied unchanged. With `section` null, lists all section names; with `key`
// null, all key names of the section: each name ends in a NUL and the list in a
// second NUL. Returns the number of characters placed before the final NUL(s).
int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                            int size, const char* file);

// The leading decimal integer of the value ("12x" gives 12), or `defaultValue`
// when the value is absent, empty or does not start with a number.
int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file);

// Sets `key` in `section` to `value` and writes the file. A null `value` deletes
// the key, a null `key` the whole section. Returns 1, or 0 for a null section,
// an empty key, a name or value that cannot be stored or a failed write.
int WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);

// Lists the section as "key=value" strings, each ended by a NUL, the list ended
// by a second NUL. Returns the bytes placed before the final double NUL.
int GetPrivateProfileSection(const char* section, char* out, int size, const char* file);

// Replaces the keys of `section` by `contents`: "key=value" strings, each ended
// by a NUL, the list ended by an empty string. An emptied section stays in the
// file as a bare header. Returns 1, or 0 for a null section or file or a failed write.
int WritePrivateProfileSection(const char* section, const char* contents, const char* file);

// Reads a block written by WritePrivateProfileStruct. Returns 1 only if the
// stored block has exactly `size` bytes and its checksum matches.
int GetPrivateProfileStruct(const char* section, const char* key, void* out, int size, const char* file);

// Stores `size` bytes as upper-case hex digits followed by a checksum byte (the
// sum of the bytes modulo 256). A null key or null data deletes, as
// WritePrivateProfileString with a null value does.
int WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size,
                              const char* file);
