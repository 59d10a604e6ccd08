// The simulator's files. Inputs (scenarios, EEPROM images) are read only
// when they are regular files of a bounded size, so a named pipe, a device
// or an endless file is refused instead of blocking or filling the memory.
// Outputs are written whole or not at all: into an exclusive temporary file
// of an unpredictable name in the same folder (never through a link planted
// there), closed with its result checked, then renamed over the file.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sim {

// A file that could not be written; the message names it and the reason.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of a regular file of at most max_bytes. `what` names
// the kind of file in messages ("scenario file"). Throws ScenarioError with
// one line naming the file and the problem: an empty name, a missing or
// unreadable file, a folder, a pipe or a device, a file that is too large.
std::string read_regular_file(const std::string& path, const std::string& what, std::size_t max_bytes);

enum class Durability {
  Ordinary,  // outputs a run writes again: renamed into place when complete
  Synced,    // data kept from run to run: on the disk before it replaces the old file
};

class AtomicFile {
 public:
  // Creates the temporary file next to `path`; throws OutputError.
  explicit AtomicFile(std::string path, Durability durability = Durability::Ordinary);
  // Removes the temporary file unless committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Buffered; a failed write throws OutputError.
  void write(std::string_view bytes);
  // Flushes, closes (its result checked) and renames the file into place.
  void commit();
  const std::string& path() const { return path_; }

 private:
  void flush();
  void fail(const std::string& doing, int error);

  std::string path_;
  std::string temp_;
  Durability durability_;
  int fd_ = -1;
  std::string buffer_;
  bool committed_ = false;
};

// A whole file at once, through an AtomicFile.
void write_file(const std::string& path, std::string_view bytes, Durability durability = Durability::Ordinary);

// The file a write to `path` should replace: where a chain of symbolic links
// ends (also when the last one points to a file that does not exist yet).
std::string link_target(const std::string& path);

// Refuses, before a run, a file it could not write at its end: its folder
// missing or not writable, the file not a regular one, or read-only. Throws
// ScenarioError; `what` names the file's role in the message.
void check_replaceable(const std::string& path, const std::string& what);

}  // namespace sim
