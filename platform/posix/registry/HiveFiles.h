// The disk side of the POSIX registry: reading a registry file with its identity, the
// atomic replacement, the prefix lock, and finding a wineserver that holds the prefix.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/posix/registry/TextBuffer.h"

namespace Platform::Posix {

/// A file descriptor, closed when it goes out of scope.
class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd = -1) : fd_(fd) {}
  ~TFileDescriptor() { Close(); }
  TFileDescriptor(TFileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  /// Closes the one it holds and takes `fd`.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  /// Closes it now; what close() answered (0 when there was nothing to close).
  int Close() {
    int result = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

/// What identifies a file's content between two looks: a rename or an edit changes it.
struct TFileStamp {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  long long ModifiedNs = 0;

  bool operator==(const TFileStamp&) const = default;
};

/// The file's stamp now (Exists false when it is missing).
TFileStamp StampOf(const std::string& path);

/// The whole file and its stamp; a missing file gives the empty text. Fails with ERegistryException
/// naming the file when it exists but cannot be read.
TRegText ReadRegistryFile(const std::string& path, TFileStamp& stamp);

/// The file kept open to be read in pieces or whole, and its stamp; nullptr when the file
/// is missing or empty. Fails as ReadRegistryFile does.
std::unique_ptr<TTextSource> OpenRegistryFile(const std::string& path, TFileStamp& stamp);

/// The first `bytes` bytes of the file (fewer when it is shorter or cannot be read).
std::string ReadFileHead(const std::string& path, size_t bytes);

/// Replaces the file with `text` atomically: a temporary file in the same folder, flushed
/// to disk, renamed over it. Keeps the file's permissions. On failure the old file stays
/// as it was and ERegistryException says why.
void ReplaceFile(const std::string& path, const TComposed& text);

/// Creates the folder and its parents; ERegistryException when that fails.
void MakeFolders(const std::string& folder);

/// An exclusive advisory lock on <folder>/.tessik-registry.lock, shared by every Tessik run
/// on the prefix. Waits for another run to finish; ERegistryException after a long wait.
class TPrefixLock {
 public:
  explicit TPrefixLock(const std::string& folder);

 private:
  TFileDescriptor fd_;
};

/// Whether a wineserver runs on the prefix: its server-<dev>-<inode> folder, in
/// /tmp/.wine-<uid>/ or in the folder named by <prefix>/wineserver, has a lock file that a
/// process holds (a folder left by a server that died does not count).
bool WineserverRuns(const std::string& prefix);

}  // namespace Platform::Posix
