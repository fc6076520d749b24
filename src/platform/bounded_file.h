#pragma once
// Reading outside files with a bound, the one way every reader of the program takes: a regular
// file only (opened without blocking, so that a FIFO without a writer is refused instead of
// waited for, and a device is never read), never more than the caller's limit. The counterpart
// of the atomic writer. The error texts say what is wrong, not which file: the caller names it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// At most maxBytes of the file at path from offset (fewer when the file ends first), and the
// file's whole size in *fileSize when given. False with *error: the system's reason, "it is a
// folder", "it is not a regular file (a device, a pipe or a socket)".
bool ReadFilePart(const std::string& path, uint64_t offset, size_t maxBytes,
                  std::vector<uint8_t>& bytes, std::string* error, uint64_t* fileSize = nullptr);

// The whole file, refused when it is larger than maxBytes ("it is N bytes, more than M") or
// empty ("the file is empty").
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string* error);
