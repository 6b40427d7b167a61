// What ombrix-merge makes of inputs nobody should have to write, and of being killed midway: it merges or
// clearly refuses, and every file it did not mean to change keeps its bytes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_run.h"
#include "engine_merge.h"
#include "ini/file/path_text.h"
#include "test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <unordered_set>
#endif

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using test::crlf;
using test::readFile;
using test::TempDir;
using testing::HasSubstr;

using test::CliRun;
using test::run;

// Runs a merge into OUTPUT and checks that the inputs kept their bytes and the output is what the reference
// engine writes.
void expectMergeLikeTheReference(const TempDir& dir, const std::string& newKeys, const std::string& list) {
  const fs::path newKeysFile = dir.file("new.ini", newKeys);
  const fs::path listFile = dir.file("list.ini", list);
  const CliRun result = run(
      {"--policy", "replace-all", "-o", (dir / "out.ini").string(), newKeysFile.string(), listFile.string()});
  ASSERT_EQ(result.status, kExitSuccess) << result.err;
  EXPECT_TRUE(readFile(newKeysFile) == newKeys);
  EXPECT_TRUE(readFile(listFile) == list);
  EXPECT_TRUE(readFile(dir / "out.ini") ==
              test::mergeWith(MergeEngine::File, list, newKeys, MergePolicy::ReplaceAll).list);
}

TEST(HostileInput, EveryByteValuePassesThroughUntouched) {
  std::string anyBytes;
  for (int c = 0; c < 256; ++c) {
    if (c != '\r' && c != '\n') {
      anyBytes += static_cast<char>(c);
    }
  }
  TempDir dir;
  const std::string list =
      "// " + anyBytes + "\r\n[G" + std::string(1, '\0') + "]\r\nk=" + anyBytes + "\r\n\r\n";
  const std::string newKeys =
      "[G" + std::string(1, '\0') + "]\r\nv=" + anyBytes + "\r\nk" + anyBytes + "=1\r\n";
  expectMergeLikeTheReference(dir, newKeys, list);
  EXPECT_THAT(readFile(dir / "out.ini"), HasSubstr("\r\nv=" + anyBytes + "\r\n"));
}

TEST(HostileInput, HugeLinesAndManySections) {
  TempDir dir;
  // A 20 MB line, and a key line of a million "=" signs, into a list whose last line has no line break.
  const std::string longValue(20'000'000, 'v');
  expectMergeLikeTheReference(dir, "[G]\r\nk=" + longValue + "\r\nk" + std::string(1'000'000, '=') + "\r\n",
                              "[G]\r\nk=1");
  // 100,000 sections, every one of them written.
  std::string list;
  std::string newKeys;
  for (int i = 0; i < 100'000; ++i) {
    list += "[S" + std::to_string(i) + "]\r\nk=1\r\n\r\n";
    newKeys += "[s" + std::to_string(i) + "]\r\nk=2\r\n";
  }
  const fs::path newKeysFile = dir.file("new.ini", newKeys);
  const fs::path listFile = dir.file("list.ini", list);
  const CliRun result = run({"--policy", "replace-all", newKeysFile.string(), listFile.string()});
  ASSERT_EQ(result.status, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, HasSubstr("\n100000 lines changed.\n"));
  EXPECT_TRUE(readFile(dir / "list.bak") == list);
  const std::string merged = readFile(listFile);
  EXPECT_EQ(merged.find("k=1"), std::string::npos);
  EXPECT_THAT(merged, HasSubstr("[S99999]\r\nk=2\r\n"));
}

TEST(HostileInput, ALargeListIsMergedInPlace) {
  TempDir dir;
  std::string list;
  list.reserve(66'000'000);
  const std::string game =
      "Comment=Playable\r\nSpeed=1\r\nSound=1\r\nNotes=" + std::string(100, 'n') + "\r\n\r\n";
  for (int i = 0; list.size() < 64'000'000; ++i) {
    list.append("[Game ").append(std::to_string(i)).append("]\r\n").append(game);
  }
  const fs::path listFile = dir.file("list.ini", list);
  const fs::path newKeysFile = dir.file("new.ini", crlf("[Game 0]|Speed=2|[Game 400000]|Speed=3|[New]|k=1|"));
  const CliRun result = run({"--policy", "replace-all", newKeysFile.string(), listFile.string()});
  ASSERT_EQ(result.status, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, HasSubstr("\n3 lines changed.\n"));
  const std::string merged = readFile(listFile);
  EXPECT_EQ(merged.substr(0, 36), "[Game 0]\r\nComment=Playable\r\nSpeed=2\r");
  EXPECT_THAT(merged.substr(merged.size() - 30), HasSubstr("[New]\r\nk=1\r\n\r\n"));
  EXPECT_TRUE(readFile(dir / "list.bak") == list);
}

TEST(HostileInput, PathsWithSpacesNonAsciiLettersAndLongNames) {
  TempDir dir;
  const fs::path folder = dir.path() / fs::path(u8"Spiele \u00e4\u00f6\u00fc \u2605");
  fs::create_directories(folder);
  const std::string longName = std::string(240, 'n') + ".ini";
  const fs::path newKeysFile = folder / fs::path(u8"neue Schl\u00fcssel.ini");
  const fs::path listFile = folder / longName;
  test::writeFile(newKeysFile, crlf("[G]|k=2|"));
  test::writeFile(listFile, crlf("[G]|k=1||"));
  const CliRun result = run({"--policy", "replace-all", textOfPath(newKeysFile), textOfPath(listFile)});
  ASSERT_EQ(result.status, kExitSuccess) << result.err;
  EXPECT_EQ(readFile(listFile), crlf("[G]|k=2|||"));
  EXPECT_EQ(readFile(folder / (std::string(240, 'n') + ".bak")), crlf("[G]|k=1||"));
}

#ifndef _WIN32
// Every state the list passes through while the reference engine merges, as hashes.
std::unordered_set<std::size_t> statesOfReferenceMerge(const std::string& newKeys, const std::string& list) {
  std::unordered_set<std::size_t> states = {std::hash<std::string>()(list)};
  const auto seen = [&](const std::string& now) { states.insert(std::hash<std::string>()(now)); };
  seen(test::mergeWith(MergeEngine::File, list, newKeys, MergePolicy::ReplaceAll, {}, false, seen).list);
  return states;
}

TEST(HostileInput, AMergeKilledMidwayLeavesAWholeListAndAWholeBackup) {
  TempDir dir;
  std::string list;
  std::string newKeys;
  for (int i = 0; i < 800; ++i) {
    list += "[Game " + std::to_string(i) + "]\r\nComment=Playable\r\nSpeed=1\r\nSound=1\r\n\r\n";
    newKeys += "[Game " + std::to_string(i) + "]\r\nSpeed=2\r\nSound=0\r\nVideo=1\r\n";
  }
  const fs::path listFile = dir.file("list.ini", list);
  const fs::path newKeysFile = dir.file("new.ini", newKeys);
  const std::unordered_set<std::size_t> states = statesOfReferenceMerge(newKeys, list);
  const std::size_t original = std::hash<std::string>()(list);
  const std::size_t merged = std::hash<std::string>()(
      test::mergeWith(MergeEngine::File, list, newKeys, MergePolicy::ReplaceAll).list);

  int caughtMidway = 0;
  for (const int killAfterMs : {50, 200, 400}) {
    test::writeFile(listFile, list);
    fs::remove(dir / "list.bak");
    const pid_t child = fork();
    if (child == 0) {
      execl(OMBRIX_MERGE_PROGRAM, OMBRIX_MERGE_PROGRAM, "--quiet", "--engine=file", "--policy", "replace-all",
            newKeysFile.c_str(), listFile.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::size_t left = std::hash<std::string>()(readFile(listFile));
    EXPECT_EQ(states.count(left), 1u)
        << "killed after " << killAfterMs << " ms: the list is not a state the merge passes through";
    caughtMidway += left != original && left != merged ? 1 : 0;
    if (fs::exists(dir / "list.bak")) {
      EXPECT_TRUE(readFile(dir / "list.bak") == list) << "the backup is complete or absent";
    }
  }
  EXPECT_GE(caughtMidway, 1) << "no kill landed while the list was being merged";
}
#endif

}  // namespace
}  // namespace ombrix
