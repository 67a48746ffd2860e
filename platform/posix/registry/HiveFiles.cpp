#include "platform/posix/registry/HiveFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/Errors.h"
#include "platform/TextCodec.h"

namespace Platform::Posix {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw ERegistryException(FromUtf8(what + " " + path + ": " + std::strerror(error)));
}

TFileStamp StampOf(const struct stat& st) {
  TFileStamp stamp;
  stamp.Exists = true;
  stamp.Device = st.st_dev;
  stamp.Inode = st.st_ino;
  stamp.Size = st.st_size;
  stamp.ModifiedNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  return stamp;
}

bool WriteAll(int fd, std::string_view text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, const TComposed& text) {
  for (std::string_view piece : text.Pieces())
    if (!WriteAll(fd, piece)) return false;
  return true;
}

// Text of a large file goes to memory that is not cleared first, a block of its own that the
// program puts on huge pages (LargeBlocks.cpp): filling 4 KB pages one fault at a time costs
// more than reading the file (a mapping of the file is no better: its scan is slower).
constexpr off_t kLargeFile = off_t(1) << 20;

void ReleaseBig(const char* memory, size_t) {
  delete[] memory;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files of runs that were killed: only the holder of the prefix lock writes one,
// so any that exists now is left over.
void RemoveLeftovers(const std::string& folder, const std::string& prefix) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = ::readdir(dir))
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      ::unlink((folder + "/" + entry->d_name).c_str());
  ::closedir(dir);
}

mode_t NewFileMode(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Whether another process holds a lock on the file (wineserver locks its "lock" file).
bool LockHeld(const std::string& path) {
  TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  return ::fcntl(fd.Get(), F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

std::string ReadFirstLine(const std::string& path) {
  std::string line;
  if (FILE* f = std::fopen(path.c_str(), "re")) {
    char buf[512];
    if (std::fgets(buf, sizeof buf, f)) line = buf;
    std::fclose(f);
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

}  // namespace

TFileStamp StampOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? StampOf(st) : TFileStamp{};
}

namespace {

// Reads the rest of the file into memory of `capacity` bytes.
TRegText ReadLargeFile(const TFileDescriptor& fd, const std::string& path, size_t capacity) {
  char* text = new char[capacity];
  size_t done = 0;
  for (;;) {
    if (done == capacity) {  // the file grew meanwhile
      char* larger = new char[capacity * 2];
      std::memcpy(larger, text, done);
      delete[] text;
      text = larger, capacity *= 2;
    }
    ssize_t n = ::read(fd.Get(), text + done, capacity - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      delete[] text;
      Fail("Cannot read the registry file", path, error);
    }
    if (n == 0) break;
    done += size_t(n);
  }
  return TRegText(std::string_view(text, done), capacity, ReleaseBig);
}

// The whole file from its start; `size` is its size when it was opened.
TRegText ReadOpenFile(const TFileDescriptor& fd, const std::string& path, off_t size) {
  // One more byte than the file has: its end shows without growing the buffer.
  if (size >= kLargeFile) return ReadLargeFile(fd, path, size_t(size) + 1);
  std::string text(size_t(size) + 1, '\0');
  size_t done = 0;
  for (;;) {
    if (done == text.size()) text.resize(text.size() + 65536);  // the file grew meanwhile
    ssize_t n = ::read(fd.Get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("Cannot read the registry file", path, errno);
    if (n == 0) break;
    done += size_t(n);
  }
  text.resize(done);
  return TRegText(std::move(text));
}

// A registry file kept open, read in pieces by a scan and whole when that is needed.
class TRegFileSource final : public TTextSource {
 public:
  TRegFileSource(TFileDescriptor fd, std::string path, off_t size)
      : fd_(std::move(fd)), path_(std::move(path)), size_(size) {}

  size_t ReadAt(size_t offset, char* out, size_t size) override {
    for (;;) {
      ssize_t n = ::pread(fd_.Get(), out, size, off_t(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail("Cannot read the registry file", path_, errno);
      return size_t(n);
    }
  }

  size_t Size() const override { return size_t(size_); }

  TRegText ReadAll() override {
    if (::lseek(fd_.Get(), 0, SEEK_SET) != 0) Fail("Cannot read the registry file", path_, errno);
    return ReadOpenFile(fd_, path_, size_);
  }

 private:
  TFileDescriptor fd_;
  std::string path_;
  off_t size_;
};

// The open file and its stamp; not valid when the file is missing.
TFileDescriptor OpenForReading(const std::string& path, TFileStamp& stamp, off_t& size) {
  stamp = TFileStamp{};
  size = 0;
  TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    if (errno == ENOENT || errno == ENOTDIR) return TFileDescriptor();
    Fail("Cannot read the registry file", path, errno);
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) == 0) {
    stamp = StampOf(st);
    size = st.st_size;
  }
  return fd;
}

}  // namespace

TRegText ReadRegistryFile(const std::string& path, TFileStamp& stamp) {
  off_t size;
  TFileDescriptor fd = OpenForReading(path, stamp, size);
  if (!fd.Valid()) return {};
  return ReadOpenFile(fd, path, size);
}

std::unique_ptr<TTextSource> OpenRegistryFile(const std::string& path, TFileStamp& stamp) {
  off_t size;
  TFileDescriptor fd = OpenForReading(path, stamp, size);
  if (!fd.Valid() || size == 0) return nullptr;
  return std::make_unique<TRegFileSource>(std::move(fd), path, size);
}

std::string ReadFileHead(const std::string& path, size_t bytes) {
  std::string head(bytes, '\0');
  TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  ssize_t n = fd.Valid() ? ::read(fd.Get(), head.data(), bytes) : 0;
  head.resize(n > 0 ? size_t(n) : 0);
  return head;
}

void ReplaceFile(const std::string& path, const TComposed& text) {
  const std::string folder = FolderOf(path);
  const std::string tempPrefix = "." + BaseName(path) + ".tessik-";
  RemoveLeftovers(folder, tempPrefix);
  std::string temp = folder + "/" + tempPrefix + "XXXXXX";
  TFileDescriptor fd(::mkstemp(temp.data()));
  if (!fd.Valid()) Fail("Cannot write the registry file", path, errno);
  bool ok = ::fchmod(fd.Get(), NewFileMode(path)) == 0 && WriteAll(fd.Get(), text) &&
            ::fsync(fd.Get()) == 0;
  int error = errno;
  if (fd.Close() != 0 && ok) ok = false, error = errno;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    ::unlink(temp.c_str());
    Fail("Cannot write the registry file", path, error ? error : EIO);
  }
  // Make the rename itself durable.
  if (TFileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); dir.Valid())
    ::fsync(dir.Get());
}

void MakeFolders(const std::string& folder) {
  for (size_t slash = 1; slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    std::string part = folder.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
      Fail("Cannot create the folder", part, errno);
  }
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
    Fail("Cannot create the folder", folder, errno);
}

TPrefixLock::TPrefixLock(const std::string& folder) {
  const std::string path = folder + "/.tessik-registry.lock";
  fd_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!fd_.Valid()) Fail("Cannot lock the registry with", path, errno);
  using namespace std::chrono;
  auto deadline = steady_clock::now() + seconds(60);
  auto pause = microseconds(500);
  while (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) Fail("Cannot lock the registry with", path, errno);
    if (steady_clock::now() > deadline)
      throw ERegistryException(
          FromUtf8("The registry of " + folder + " stays locked by another Tessik run"));
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, duration_cast<microseconds>(milliseconds(20)));
  }
}

bool WineserverRuns(const std::string& prefix) {
  struct stat st;
  if (::stat(prefix.c_str(), &st) != 0) return false;
  char name[64];
  std::snprintf(name, sizeof name, "/server-%llx-%llx", (unsigned long long)st.st_dev,
                (unsigned long long)st.st_ino);
  std::vector<std::string> folders = {"/tmp/.wine-" + std::to_string(::getuid())};
  // Debian's Wine keeps its servers in a folder of a random name, written in the prefix.
  std::string named = ReadFirstLine(prefix + "/wineserver");
  if (!named.empty() && named.find('/') == std::string::npos) {
    folders.push_back("/tmp/" + named);
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp && std::string(tmp) != "/tmp")
      folders.push_back(std::string(tmp) + "/" + named);
  } else if (!named.empty() && named[0] == '/') {
    folders.push_back(named);
  }
  for (const std::string& folder : folders)
    if (LockHeld(folder + name + "/lock")) return true;
  return false;
}

}  // namespace Platform::Posix
