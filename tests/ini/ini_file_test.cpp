#include "ini/file/ini_file.h"

#include "file_fakes.h"
#include "ini/file/file_checks.h"
#include "ini/file/file_faults.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/syscall.h>
#include <unistd.h>

// Every file and folder the process asks the system to put on the disk, in order: the file layer's calls
// of fsync land here first.
static std::vector<std::filesystem::path> flushedFiles;
extern "C" int fsync(int descriptor) {
  std::error_code error;
  flushedFiles.push_back(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(descriptor), error));
  return static_cast<int>(syscall(SYS_fsync, descriptor));
}
#endif

namespace ombrix {
namespace {

const std::string kSample = crlf("[A]|k1=1|k2=2||[B]|x=9||");

// Empty names open nothing; a missing file reads as empty after its retries, and is neither written nor
// created.
TEST(IniFile, EmptyNamesOpenNothingAndAMissingFileIsNotCreated) {
  TempDir dir;
  const auto file = dir.file("list.ini", "[A]\r\nk=1");
  test::PlannedFaults faults;
  DiskFileAccess disk(&faults);
  EXPECT_EQ(GetKey(file, "", "k", "D", disk), "");
  SaveKey(file, "A", "", "v", disk);
  EXPECT_EQ(faults.calls(FileStep::Open), 0);
  EXPECT_EQ(readFile(file), "[A]\r\nk=1");
  EXPECT_EQ(GetKey(dir / "missing.ini", "A", "k", "D", disk), "");
  SaveKey(dir / "missing.ini", "A", "k", "1", disk);
  EXPECT_EQ(faults.calls(FileStep::Open), 202) << "101 attempts for each call";
  EXPECT_EQ(faults.calls(FileStep::Write), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
}

// A failed step is tried again at once; the 101st failure of one call, over all its steps, ends the call:
// GetKey then answers the empty string (not its default), and SaveKey leaves the file as it was.
TEST(IniFile, EachCallRetriesWithinOneBudgetOf100Failures) {
  struct Case {
    const char* name;
    int readFailures;
    int writeFailures;
    const char* got;    // GetKey's answer, when the case reads
    const char* saved;  // the file after SaveKey, when the case writes
  };
  const Case cases[] = {
      {"100 failed reads", 100, 0, "1", nullptr},
      {"101 failed reads", 101, 0, "", nullptr},
      {"60 failed reads and 40 failed writes", 60, 40, nullptr, "[A]|k1=7|k2=2||[B]|x=9||"},
      {"60 failed reads and 41 failed writes", 60, 41, nullptr, "[A]|k1=1|k2=2||[B]|x=9||"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const auto file = dir.file("list.ini", kSample);
    test::PlannedFaults faults;
    faults.plan(FileStep::Read, 1, c.readFailures).plan(FileStep::Write, 1, c.writeFailures);
    DiskFileAccess disk(&faults);
    if (c.got != nullptr) {
      EXPECT_EQ(GetKey(file, "A", "k1", "D", disk), c.got) << c.name;
      EXPECT_EQ(faults.calls(FileStep::Read), std::min(c.readFailures + 1, 101)) << c.name;
    } else {
      SaveKey(file, "A", "k1", "7", disk);
      EXPECT_EQ(readFile(file), crlf(c.saved)) << c.name;
      EXPECT_EQ(test::countEntries(dir.path()), 1u) << c.name << ": no temporary file is left behind";
    }
  }
}

// Each call reads the file as it is now and writes every change back, without growing it at its end.
TEST(IniFile, ReadsAndWritesTheFileAsItIsNow) {
  TempDir dir;
  const auto file = dir.file("list.ini", kSample);
  EXPECT_EQ(GetKey(file, "A", "k3", "D"), "D");
  test::writeFile(file, crlf("[A]|k=1||[B]|x=9||"));
  EXPECT_EQ(GetKey(file, "A", "k", "D"), "1");
  SaveKey(file, "A", "k", "2");
  EXPECT_EQ(readFile(file), crlf("[A]|k=2|||[B]|x=9||"));
  // A call that changes nothing still tidies.
  SaveKey(file, "A", "absent", "");
  SaveKey(file, "A", "absent", "");
  EXPECT_EQ(readFile(file), crlf("[A]|k=2||[B]|x=9||"));
  EXPECT_EQ(test::countEntries(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(DiskFileAccess, WritesThroughASymbolicLink) {
  TempDir dir;
  const auto real = dir.file("real.ini", "old");
  std::error_code error;
  std::filesystem::create_symlink(real, dir / "link.ini", error);
  if (error) {
    GTEST_SKIP() << "this system does not let the user create symbolic links";
  }
  ASSERT_TRUE(DiskFileAccess().replaceContents(dir / "link.ini", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(readFile(real), "new");
}

#ifndef _WIN32
// A replace puts the new file's bytes on the disk before the rename and the folder after it; a flush puts the
// file and its folder there. The new file is always made new: a link or a file planted under the names the
// next ones take (the last one's number and one more) is neither followed nor written into.
TEST(DiskFileAccess, FlushesWhatItWritesAndMakesEachTemporaryFileNew) {
  TempDir dir;
  const fs::path folder = fs::canonical(dir.path());
  const fs::path list = dir.file("list.ini", "old");
  DiskFileAccess disk;
  flushedFiles.clear();
  ASSERT_TRUE(disk.replaceContents(list, "new") && disk.flush(list));
  ASSERT_EQ(flushedFiles.size(), 4u);
  const fs::path temporary = flushedFiles[0];
  EXPECT_EQ(temporary.parent_path(), folder);
  EXPECT_EQ(std::vector(flushedFiles.begin() + 1, flushedFiles.end()), (std::vector{folder, list, folder}));

  const std::string name = temporary.filename().string();
  const std::size_t number = name.rfind('-') + 1;
  const auto nextName = [&](unsigned ahead) {
    return name.substr(0, number) + std::to_string(std::stoul(name.substr(number)) + ahead) + ".tmp";
  };
  const fs::path victim = dir.file("victim.ini", "victim");
  fs::create_symlink(victim, folder / nextName(1));
  dir.file(nextName(2), "a planted file");
  EXPECT_FALSE(disk.replaceContents(list, "newer"));
  EXPECT_FALSE(disk.replaceContents(list, "newer"));
  EXPECT_EQ(readFile(victim), "victim");
  EXPECT_EQ(readFile(list), "new");
  EXPECT_EQ(readFile(folder / nextName(2)), "a planted file");
}
#endif

TEST(LineEnds, OnlyCrLfMakesLinesForTheTextModel) {
  TempDir dir;
  const std::pair<std::string, LineEnds> cases[] = {
      {"[A]\nk=1\r\n", LineEnds::CrLf},
      {"[A]", LineEnds::None},
      {"[A]\rk=1", LineEnds::OnlyCr},
      {"[A]\rk=1\n", LineEnds::OnlyLf},
      // A CR LF split between two reads of the file still counts: the CR is the last byte of the first.
      {"a\n" + std::string(64 * 1024 - 3, 'x') + "\r\n", LineEnds::CrLf},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(lineEndsOf(dir.file("list.ini", cases[i].first)), cases[i].second) << "case " << i;
  }
}

}  // namespace
}  // namespace ombrix
