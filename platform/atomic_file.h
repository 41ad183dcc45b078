#pragma once
// Whole-file reads and crash-safe, lock-protected rewrites of small text files
// (the settings stores and private-profile files).
//
// A rewrite never leaves a half-written file: the new contents go to a
// temporary file in the same folder, are synced, and replace the old file by
// rename, which keeps the old file's mode. Readers therefore need no lock.
// Writers serialise on an flock of the file itself; since the rename swaps the
// file, a writer that waited re-checks that it locked the current file and
// retries otherwise, so two processes changing different keys never lose each
// other's change. A read-only file is never rewritten, and a symbolic link is
// written through to the file it names.
#include <cstddef>
#include <functional>
#include <string>

// Reads at most maxBytes of the file. False when it cannot be opened (missing).
// *truncated tells whether the file was longer than maxBytes.
bool PlatformReadFileCapped(const std::string& path, size_t maxBytes, std::string* content, bool* truncated = nullptr);

// Replaces the file's contents in one step (temporary file, fsync, rename).
// A new file gets newFileMode less the umask; an existing file keeps its mode.
bool PlatformReplaceFile(const std::string& path, const std::string& content, unsigned newFileMode = 0666);

// Read-modify-write under the file's lock. change gets the current contents
// ("" and exists false when the file is missing) and returns false to leave the
// file alone. A missing file is created only when createWhenMissing; files
// longer than maxBytes are never rewritten (their tail would be lost).
// Returns true when the file was rewritten.
bool PlatformUpdateFile(const std::string& path, size_t maxBytes, bool createWhenMissing,
                        const std::function<bool(std::string& content, bool exists)>& change,
                        unsigned newFileMode = 0666);
