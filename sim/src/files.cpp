#include "sim/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "sim/message_text.h"
#include "sim/scenario.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kNameChars = 160;     // of a file name in a message
constexpr std::size_t kWriteChunk = 1 << 16;  // bytes buffered before a write

std::string name_of(const std::string& path) { return printable(path, kNameChars); }

std::string reason(int error) { return std::strerror(error); }

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

const char* file_kind(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string folder_of(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// An exclusive new file next to `path` under an unpredictable name: the
// descriptor, or -errno. O_EXCL also refuses a link at that name.
int create_temp(const std::string& path, std::string& temp) {
  std::string base = fs::path(path).filename().string();
  if (base.size() > 200) base.resize(200);  // room for the suffix within a name's 255 bytes
  std::string pattern = (fs::path(folder_of(path)) / ("." + base + ".XXXXXX")).string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
  if (fd < 0) return -errno;
  temp.assign(buf.data());
  return fd;
}

mode_t new_file_mode() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
  }();
  return 0666 & ~mask;
}

}  // namespace

std::string read_regular_file(const std::string& path, const std::string& what, std::size_t max_bytes) {
  if (path.empty()) throw ScenarioError("\"\": an empty file name given for the " + what);
  const std::string name = name_of(path);
  // Non-blocking, so that opening a named pipe does not wait for a writer.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) throw ScenarioError(name + ": cannot read the " + what + ": " + reason(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw ScenarioError(name + ": cannot read the " + what + ": " + reason(errno));
  if (!S_ISREG(st.st_mode))
    throw ScenarioError(name + ": is " + file_kind(st.st_mode) + ", not a regular file (expected the " + what + ")");
  auto too_large = [&](const std::string& size) {
    return ScenarioError(name + ": the " + what + " is too large (" + size + " bytes, at most " +
                         std::to_string(max_bytes) + ")");
  };
  if (static_cast<std::uintmax_t>(st.st_size) > max_bytes) throw too_large(std::to_string(st.st_size));
  // Read to one byte past the limit: a file may grow while it is read, and
  // some (those of /proc) say they are empty.
  std::string bytes(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), max_bytes) + 1, '\0');
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (got > max_bytes) throw too_large("more than " + std::to_string(max_bytes));
      bytes.resize(std::min(max_bytes + 1, std::max<std::size_t>(2 * got, 4096)));
    }
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw ScenarioError(name + ": cannot read the " + what + ": " + reason(errno));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > max_bytes) throw too_large("more than " + std::to_string(max_bytes));
  bytes.resize(got);
  return bytes;
}

AtomicFile::AtomicFile(std::string path, Durability durability) : path_(std::move(path)), durability_(durability) {
  const int fd = create_temp(path_, temp_);
  if (fd < 0) throw OutputError("cannot write " + name_of(path_) + ": " + reason(-fd));
  fd_ = fd;
  // The permissions a new file gets, or those of the file it replaces.
  struct stat st {};
  const mode_t mode = ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : new_file_mode();
  if (::fchmod(fd_, mode) != 0) {
    const int error = errno;
    ::close(fd_);
    ::unlink(temp_.c_str());
    throw OutputError("cannot write " + name_of(path_) + ": " + reason(error));
  }
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void AtomicFile::fail(const std::string& doing, int error) {
  throw OutputError("cannot " + doing + " " + name_of(path_) + ": " + reason(error));
}

void AtomicFile::write(std::string_view bytes) {
  if (fd_ < 0) throw OutputError("cannot write " + name_of(path_) + ": the file is already closed");
  buffer_.append(bytes);
  if (buffer_.size() >= kWriteChunk) flush();
}

void AtomicFile::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("write", errno);
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void AtomicFile::commit() {
  if (fd_ < 0) throw OutputError("cannot write " + name_of(path_) + ": the file is already closed");
  flush();
  if (durability_ == Durability::Synced && ::fsync(fd_) != 0) fail("write", errno);
  const int fd = fd_;
  fd_ = -1;
  // A failed close can be the first report of a failed write (network and
  // full file systems): the file is not taken for written then.
  if (::close(fd) != 0) fail("write", errno);
  if (::rename(temp_.c_str(), path_.c_str()) != 0) fail("replace", errno);
  committed_ = true;
  if (durability_ == Durability::Synced) {
    // The rename itself on the disk too.
    Fd dir(::open(folder_of(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && ::fsync(dir.get()) != 0 && errno != EINVAL) fail("write", errno);
  }
}

void write_file(const std::string& path, std::string_view bytes, Durability durability) {
  AtomicFile f(path, durability);
  f.write(bytes);
  f.commit();
}

std::string link_target(const std::string& path) {
  fs::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p.string();
    const fs::path to = fs::read_symlink(p, ec);
    if (ec) return p.string();
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
  return p.string();
}

void check_replaceable(const std::string& path, const std::string& what) {
  if (path.empty()) throw ScenarioError("\"\": an empty file name given for the " + what);
  const std::string name = name_of(path);
  const std::string target = link_target(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode))
      throw ScenarioError(name + ": is " + std::string(file_kind(st.st_mode)) + ", not a regular file (expected the " +
                          what + ")");
    // A file without any write permission is one its owner keeps as it is,
    // even from a user the system would let write it.
    if (::access(target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0)
      throw ScenarioError(name + ": the " + what + " is read-only; it could not be written back at the end");
  } else if (errno != ENOENT) {
    throw ScenarioError(name + ": cannot write the " + what + ": " + reason(errno));
  }
  // A trial file in the folder: whether the folder exists and takes files.
  std::string temp;
  const int fd = create_temp(target, temp);
  if (fd < 0)
    throw ScenarioError(name + ": cannot write the " + what + " in folder " + name_of(folder_of(target)) + ": " +
                        reason(-fd));
  ::close(fd);
  ::unlink(temp.c_str());
}

}  // namespace sim
