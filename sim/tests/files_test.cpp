// The simulator's file handling: inputs read only when they are regular
// files of a bounded size; outputs whole or not at all; user text in
// messages kept to one printable line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "scratch_dir.h"
#include "sim/files.h"
#include "sim/message_text.h"
#include "sim/scenario.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string refusal(const std::function<void()>& f) {
  try {
    f();
  } catch (const sim::ScenarioError& e) {
    return e.what();
  }
  return "";
}

TEST(Files, AnUncommittedFileLeavesTheOldOneAndNoTraceOfItself) {
  const fs::path dir = scratch("atomic");
  std::ofstream(dir / "out.txt") << "old";
  fs::permissions(dir / "out.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  {
    sim::AtomicFile f((dir / "out.txt").string());
    f.write("new, half written");
  }
  EXPECT_EQ(slurp(dir / "out.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  {
    sim::AtomicFile f((dir / "out.txt").string(), sim::Durability::Synced);
    f.write(std::string(200000, 'a'));  // past the buffer
    f.write("b");
    f.commit();
  }
  EXPECT_EQ(slurp(dir / "out.txt"), std::string(200000, 'a') + "b");
  // The replaced file's permissions are kept.
  EXPECT_EQ(fs::status(dir / "out.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(Files, WritesIntoAMissingFolderOrOverAFolderFailWithTheFileAndTheReason) {
  const fs::path dir = scratch("fails");
  fs::create_directories(dir / "taken");
  try {
    sim::write_file((dir / "none" / "x.json").string(), "{}");
    FAIL();
  } catch (const sim::OutputError& e) {
    EXPECT_NE(std::string(e.what()).find("none/x.json: No such file or directory"), std::string::npos) << e.what();
  }
  try {
    sim::write_file((dir / "taken").string(), "{}");
    FAIL();
  } catch (const sim::OutputError& e) {
    EXPECT_NE(std::string(e.what()).find("taken: Is a directory"), std::string::npos) << e.what();
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(Files, InputsAreRegularFilesWithinTheirLimit) {
  const fs::path dir = scratch("limits");
  std::ofstream(dir / "ten") << "0123456789";
  EXPECT_EQ(sim::read_regular_file((dir / "ten").string(), "thing", 10), "0123456789");
  EXPECT_NE(refusal([&] { sim::read_regular_file((dir / "ten").string(), "thing", 9); })
                .find("the thing is too large (10 bytes, at most 9)"),
            std::string::npos);
  EXPECT_NE(refusal([&] { sim::read_regular_file(dir.string(), "thing", 9); }).find("is a folder"), std::string::npos);
  EXPECT_NE(refusal([&] { sim::read_regular_file("", "thing", 9); }).find("an empty file name"), std::string::npos);
  // A file that grows past the limit while it is read (its size said 0).
  EXPECT_NE(refusal([&] { sim::read_regular_file("/proc/self/status", "thing", 16); }).find("more than 16"),
            std::string::npos);
}

TEST(Files, LinksAreFollowedToTheFileTheyNameForAWriteBack) {
  const fs::path dir = scratch("chain");
  fs::create_directories(dir / "a");
  fs::create_symlink("a/two", dir / "one");
  fs::create_symlink("../final.bin", dir / "a" / "two");
  EXPECT_EQ(fs::path(sim::link_target((dir / "one").string())).lexically_normal(), dir / "final.bin");
  EXPECT_EQ(sim::link_target((dir / "plain").string()), (dir / "plain").string());
  sim::check_replaceable((dir / "one").string(), "image");  // a new file in a writable folder
  std::ofstream(dir / "final.bin") << "x";
  fs::permissions(dir / "final.bin", fs::perms::owner_read);
  EXPECT_NE(refusal([&] { sim::check_replaceable((dir / "one").string(), "image"); }).find("read-only"),
            std::string::npos);
  EXPECT_NE(refusal([&] { sim::check_replaceable(dir.string(), "image"); }).find("is a folder"), std::string::npos);
}

TEST(MessageText, UserTextIsOnePrintableShortLine) {
  EXPECT_EQ(sim::printable("plain text: żółć"), "plain text: żółć");
  EXPECT_EQ(sim::printable("a\nb\tc\rd"), "a\\nb\\tc\\rd");
  EXPECT_EQ(sim::printable("\x1b[31mred\x7f"), "\\x1B[31mred\\x7F");
  EXPECT_EQ(sim::printable("\xc2\x9b" "2J"), "\\u{009B}2J");         // C1 control sequence introducer
  EXPECT_EQ(sim::printable("\xff\xc0\xaf" "x"), "\\xFF\\xC0\\xAFx");  // not UTF-8, an overlong slash
  EXPECT_EQ(sim::printable("\xe2\x80\xa8"), "\\u{2028}");
  EXPECT_EQ(sim::printable(std::string(100, 'x'), 5), "xxxxx...");
  EXPECT_EQ(sim::printable("żółć", 2), "żó...");                   // cut between characters
  const std::string once = sim::printable("a\\x1B\x1b");
  EXPECT_EQ(sim::one_line(once), once);
}

}  // namespace
