// ombrix-merge as its users run it, and what it makes of inputs nobody should have to write and of being
// killed midway: it merges or clearly refuses, and every file it did not mean to change keeps its bytes.

#include <cstdlib>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

#include "cli/cli_app.h"
#include "engine_merge.h"
#include "ini/file/path_text.h"
#include "test_support.h"

namespace ombrix {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// Runs ombrix-merge in the test's process with its output captured.
CliRun run(const std::vector<std::string>& args, CliTerminal terminal = {}) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = runCli(args, out, err, terminal);
  return {status, out.str(), err.str()};
}

const fs::path kSample = fs::path(OMBRIX_TEST_DATA_DIR) / "sample";

class Cli : public testing::Test {
 protected:
  TempDir dir;
  std::string newKeys = dir.file("new keys.ini", readFile(kSample / "new_keys.ini")).string();
  std::string mine = dir.file("Mine.ini", readFile(kSample / "file_to_update.ini")).string();
};

TEST_F(Cli, EachPolicyWritesToTheChosenOutput) {
  for (const std::string policy : {"replace-all", "keep-playable", "keep-existing"}) {
    const std::string output = (dir / (policy + ".ini")).string();
    const CliRun result = run({"--policy=" + policy, "--output", output, newKeys, mine});
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_EQ(readFile(output), readFile(kSample / ("expected-" + policy + ".ini"))) << policy;
  }
  EXPECT_EQ(readFile(mine), readFile(kSample / "file_to_update.ini"));
  EXPECT_FALSE(fs::exists(dir / "Mine.bak"));
}

// Wrong usage, options that each work but not together included: status 2 and the usage. A file that cannot
// be merged, or a refusal (the command's tests have every kind): status 1 and the reason. Both on standard
// error, and nothing written.
TEST_F(Cli, WrongUsageAndWhatCannotBeMergedWriteNothing) {
  const std::string usage = "Usage: ombrix-merge";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{}, kExitUsage, usage},
      {{"--policy", "all", newKeys, mine}, kExitUsage, usage},
      {{"--frobnicate", newKeys, mine}, kExitUsage, usage},
      {{"-o"}, kExitUsage, usage},
      {{"--policy"}, kExitUsage, usage},
      {{"--dry-run", "--report", newKeys, mine}, kExitUsage, usage},
      {{"--dry-run", "--engine=file", newKeys, mine}, kExitUsage, usage},
      {{"--report", "--engine=file", newKeys, mine}, kExitUsage, usage},
      {{"--dry-run", "-o", "out.ini", newKeys, mine}, kExitUsage, usage},
      {{"--base", newKeys, newKeys, mine}, kExitUsage, usage},
      {{"--fail-on-conflict", newKeys, mine}, kExitUsage, usage},
      {{"--check", mine, newKeys}, kExitUsage, usage},
      {{"--check", mine, "--undo", mine}, kExitUsage, usage},
      {{"--undo"}, kExitUsage, usage},
      {{(dir / "missing.ini").string(), mine}, kExitFailure, "missing.ini' does not exist"},
      {{newKeys, (dir.path() / "." / "new keys.ini").string()},
       kExitFailure,
       "ombrix-merge: Both files are the same.\n"},
  };
  for (const auto& c : cases) {
    const CliRun result = run(c.args);
    EXPECT_EQ(result.status, c.status) << testing::PrintToString(c.args);
    EXPECT_THAT(result.err, HasSubstr(c.message));
    EXPECT_THAT(result.out, IsEmpty());
  }
  EXPECT_EQ(test::countEntries(dir.path()), 2u) << "no backup, no output";
  EXPECT_EQ(readFile(mine), readFile(kSample / "file_to_update.ini"));
  EXPECT_EQ(readFile(newKeys), readFile(kSample / "new_keys.ini"));
}

TEST_F(Cli, HelpDescribesTheOptions) {
  const CliRun result = run({"--help"});
  EXPECT_EQ(result.status, kExitSuccess);
  EXPECT_THAT(result.out, StartsWith("Usage: ombrix-merge"));
  EXPECT_THAT(result.out, HasSubstr("ombrix-merge --check FILE\n       ombrix-merge --undo FILE\n"));
  EXPECT_THAT(result.out, HasSubstr("3 merged with\nconflicts under --fail-on-conflict"));
  EXPECT_EQ(run({"--version"}).out, "ombrix-merge " OMBRIX_VERSION "\n");
}

#ifndef _WIN32
// As a user who may not write the list (though it has write bits) nor make files in its folder: both are
// refused by name before anything is written.
TEST_F(Cli, RefusesWhatTheRunningUserMayNotWrite) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "acting as another user needs root and setpriv";
  }
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  // The real program as nobody: its exit status and everything it printed.
  const TempDir logs;
  auto asNobody = [&](const std::string& args) {
    const std::string command = "/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups '" +
                                std::string(OMBRIX_MERGE_PROGRAM) + "' --quiet " + args + " > '" +
                                (logs / "out").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    return std::pair{status, readFile(logs / "out")};
  };
  const std::string files = "'" + newKeys + "' '" + mine + "'";
  const auto inPlace = asNobody(files);
  EXPECT_NE(inPlace.first, 0);
  EXPECT_THAT(inPlace.second, HasSubstr("is read-only"));
  const auto intoFolder = asNobody("-o '" + (dir / "out.ini").string() + "' " + files);
  EXPECT_NE(intoFolder.first, 0);
  EXPECT_THAT(intoFolder.second,
              HasSubstr("The folder '" + dir.path().string() + "' does not let new files"));
  EXPECT_EQ(readFile(mine), readFile(kSample / "file_to_update.ini"));
  EXPECT_EQ(test::countEntries(dir.path()), 2u);
}
#endif

TEST_F(Cli, FailureAfterTheChecksReportsTheCountAndExitsWithOne) {
  // A folder where the output should go: the merged list cannot replace it.
  const std::string unwritable = (dir / "a-folder").string();
  std::filesystem::create_directory(unwritable);
  // Each engine says which step failed: the memory engine writes the merged list at the end, the file
  // engine starts from a copy of the list.
  for (const auto& [engine, step] : {std::pair{"--engine=memory", "Could not write the merged list to '"},
                                     {"--engine=file", "Could not copy the file to be updated to '"}}) {
    const CliRun result = run({engine, "-o", unwritable, newKeys, mine});
    EXPECT_EQ(result.status, kExitFailure) << engine;
    EXPECT_EQ(result.out, "0 lines changed.\n") << "nothing reached the disk";
    // The system's reason stands between the step and what reached the disk.
    EXPECT_THAT(result.err, testing::AllOf(StartsWith("ombrix-merge: " + std::string(step) + unwritable + "': "),
                                  EndsWith(". Nothing was written to '" + unwritable + "'.\n")));
  }
  EXPECT_EQ(readFile(mine), readFile(kSample / "file_to_update.ini"));
}

TEST_F(Cli, DryRunAndReportListTheChanges) {
  const CliRun result = run({"--dry-run", "--policy", "replace-all", newKeys, mine});
  EXPECT_EQ(result.status, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, EndsWith("[G3] (new section)\n  + Comment=Almost\n  + Speed=3\n"
                                   "6 lines changed.\n5 effective changes. Nothing was written.\n"));
  EXPECT_EQ(readFile(mine), readFile(kSample / "file_to_update.ini"));
  EXPECT_EQ(test::countEntries(dir.path()), 2u) << "no backup, no output";

  const CliRun report = run({"--report", newKeys, mine});
  EXPECT_EQ(report.status, kExitSuccess) << report.err;
  EXPECT_THAT(report.out,
              EndsWith("[G2]\n  ~ Comment: Unplayable -> Playable\n[G3] (new section)\n"
                       "  + Comment=Almost\n  + Speed=3\n3 lines changed.\n3 effective changes.\n"));
  EXPECT_EQ(readFile(mine), readFile(kSample / "expected-keep-playable.ini"));
}

TEST_F(Cli, KeepMyEditsReportsConflictsAndFailsOnThemWhenAsked) {
  const std::string base =
      dir.file("base.ini", crlf("[G1]|Speed=1|Mode=a||[G2]|Speed=1||[G3]|Old=x")).string();
  const std::string list = dir.file("list.ini", crlf("[G1]|Speed=5\x01|Mode=a||[G3]|Old=x||")).string();
  const std::string newer = dir.file("newer.ini", crlf("[G1]|Speed=2|Mode=b||[G2]|Speed=2||[G3]|")).string();
  const std::vector<std::string> merge = {"--policy", "keep-my-edits", "--base", base, newer, list};

  std::vector<std::string> dryRun = merge;
  dryRun.insert(dryRun.begin(), "--dry-run");
  const CliRun listed = run(dryRun);
  EXPECT_EQ(listed.status, kExitSuccess) << listed.err;
  EXPECT_EQ(listed.out, "Base: '" + base +
                            "'.\n[G1]\n  ~ Mode: a -> b\n1 lines changed.\n"
                            "1 effective changes. Nothing was written.\n1 conflict: your value kept.\n"
                            "Conflicts:\n[G1]\n  ! Speed: base \"1\", yours \"5\\x01\", newer \"2\"\n"
                            "Deleted in your list, left deleted:\n[G2]\n"
                            "Dropped by the newer list, kept:\n[G3]\n  Old=x\n");

  std::vector<std::string> strict = merge;
  strict.insert(strict.begin(), {"--fail-on-conflict", "--prefer-new"});
  const CliRun failed = run(strict);
  EXPECT_EQ(failed.status, kExitConflict) << failed.err;
  EXPECT_THAT(failed.out, EndsWith("2 lines changed.\n1 conflict: the newer value taken.\n"));
  EXPECT_EQ(readFile(list), crlf("[G1]|Speed=2|Mode=b|||[G3]|Old=x||"));
  // The list took every new value: a second merge needs no --base, and finds nothing left to do.
  const CliRun again = run({"--policy", "keep-my-edits", "--fail-on-conflict", newer, list});
  EXPECT_EQ(again.status, kExitSuccess) << again.err;
  EXPECT_THAT(again.out, StartsWith("Base: '"));
  EXPECT_THAT(again.out, EndsWith("kept from the last merge of this list.\nBackup written to '" +
                                  (dir / "list.bak").string() + "'.\n0 lines changed.\nNo conflicts.\n"));
}

// A merge without options: keep-playable, in place, after a backup that undo puts back.
TEST_F(Cli, ChecksMergesInPlaceAndUndoes) {
  const CliRun clean = run({"--check", mine});
  EXPECT_EQ(clean.status, kExitSuccess);
  EXPECT_THAT(clean.out, HasSubstr("nothing found"));
  const std::string messy = dir.file("messy.ini", crlf("[A]|k=1|[B]|x=1|")).string();
  const CliRun found = run({"--check", messy});
  EXPECT_EQ(found.status, kExitFailure);
  EXPECT_THAT(found.out, HasSubstr(messy + ":3: section [B] does not follow an empty line"));
  EXPECT_THAT(found.out, EndsWith("2 findings.\n"));

  const CliRun merged = run({newKeys, mine});
  ASSERT_EQ(merged.status, kExitSuccess);
  EXPECT_THAT(merged.out, HasSubstr("Mine.bak"));
  EXPECT_THAT(merged.out, EndsWith("\n3 lines changed.\n"));
  EXPECT_THAT(merged.err, IsEmpty());
  EXPECT_EQ(readFile(mine), readFile(kSample / "expected-keep-playable.ini"));
  EXPECT_EQ(readFile(dir / "Mine.bak"), readFile(kSample / "file_to_update.ini"));
  EXPECT_EQ(run({"--undo", mine}).status, kExitSuccess);
  EXPECT_EQ(readFile(mine), readFile(kSample / "file_to_update.ini"));
  const CliRun again = run({"--undo", mine});
  EXPECT_EQ(again.status, kExitFailure);
  EXPECT_THAT(again.err, StartsWith("ombrix-merge: "));
}

TEST_F(Cli, ShowsProgressOnlyOnATerminalAndNotWhenQuiet) {
  const CliTerminal terminal{true};
  const CliRun shown = run({"-o", (dir / "a.ini").string(), newKeys, mine}, terminal);
  EXPECT_THAT(shown.err, HasSubstr("\rProcessing line 1"));
  EXPECT_THAT(shown.err, EndsWith("\r\033[K"));
  EXPECT_THAT(run({"--quiet", "-o", (dir / "b.ini").string(), newKeys, mine}, terminal).err, IsEmpty());
  EXPECT_THAT(run({"-o", (dir / "c.ini").string(), newKeys, mine}).err, IsEmpty());
}

// Inputs nobody should have to write. Runs a merge into out.ini and checks that the inputs kept their bytes
// and the output is what the reference engine writes.
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

TEST(HostileInput, HugeLinesAndALargeListOfManySections) {
  TempDir dir;
  // A 20 MB line, and a key line of a million "=" signs, into a list whose last line has no line break.
  const std::string longValue(20'000'000, 'v');
  expectMergeLikeTheReference(dir, "[G]\r\nk=" + longValue + "\r\nk" + std::string(1'000'000, '=') + "\r\n",
                              "[G]\r\nk=1");
  // A 64 MB list of about 400,000 games, merged in place: every fourth game, named in small letters, gets a
  // new Speed, and one game is new.
  std::string list;
  list.reserve(66'000'000);
  std::string newKeys;
  const std::string game =
      "Comment=Playable\r\nSpeed=1\r\nSound=1\r\nNotes=" + std::string(100, 'n') + "\r\n\r\n";
  int written = 1;
  for (int i = 0; list.size() < 64'000'000; ++i) {
    list.append("[Game ").append(std::to_string(i)).append("]\r\n").append(game);
    if (i % 4 == 0) {
      newKeys.append("[game ").append(std::to_string(i)).append("]\r\nSpeed=2\r\n");
      ++written;
    }
  }
  const fs::path listFile = dir.file("list.ini", list);
  const fs::path newKeysFile = dir.file("new.ini", newKeys + "[New]\r\nk=1\r\n");
  const CliRun result = run({"--policy", "replace-all", newKeysFile.string(), listFile.string()});
  ASSERT_EQ(result.status, kExitSuccess) << result.err;
  EXPECT_THAT(result.out, HasSubstr("\n" + std::to_string(written) + " lines changed.\n"));
  EXPECT_TRUE(readFile(dir / "list.bak") == list);
  const std::string merged = readFile(listFile);
  EXPECT_EQ(merged.substr(0, 36), "[Game 0]\r\nComment=Playable\r\nSpeed=2\r");
  // Found without printing 64 MB when they are not.
  EXPECT_NE(merged.find("[Game 1]\r\nComment=Playable\r\nSpeed=1\r\n"), std::string::npos);
  EXPECT_NE(merged.find("[Game 200000]\r\nComment=Playable\r\nSpeed=2\r\n"), std::string::npos);
  EXPECT_THAT(merged.substr(merged.size() - 30), HasSubstr("[New]\r\nk=1\r\n\r\n"));
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
  // Every state the list passes through while the reference engine merges, as hashes, in order.
  std::vector<std::size_t> states = {std::hash<std::string>()(list)};
  const auto seen = [&](const std::string& now) { states.push_back(std::hash<std::string>()(now)); };
  seen(test::mergeWith(MergeEngine::File, list, newKeys, MergePolicy::ReplaceAll, {}, false, seen).list);

  // Starts the reference merge of a fresh copy of the list in a process of its own.
  const auto startMerge = [&] {
    test::writeFile(listFile, list);
    fs::remove(dir / "list.bak");
    const pid_t child = fork();
    if (child == 0) {
      execl(OMBRIX_MERGE_PROGRAM, OMBRIX_MERGE_PROGRAM, "--quiet", "--engine=file", "--policy", "replace-all",
            newKeysFile.c_str(), listFile.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return child;
  };
  const auto waitFor = [](pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
  };
  // A whole merge first, to learn how long one takes on this machine: the kills land within that time.
  const auto start = std::chrono::steady_clock::now();
  waitFor(startMerge());
  const auto whole = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(std::hash<std::string>()(readFile(listFile)), states.back());

  int caughtMidway = 0;
  for (int tenths = 1; tenths < 10; tenths += 2) {
    const pid_t child = startMerge();
    std::this_thread::sleep_for(whole * tenths / 10);
    kill(child, SIGKILL);
    waitFor(child);
    const std::size_t left = std::hash<std::string>()(readFile(listFile));
    EXPECT_NE(std::find(states.begin(), states.end(), left), states.end())
        << "killed at " << tenths << " tenths of a merge: the list is not a state the merge passes through";
    caughtMidway += left != states.front() && left != states.back() ? 1 : 0;
    if (fs::exists(dir / "list.bak")) {
      EXPECT_TRUE(readFile(dir / "list.bak") == list) << "the backup is complete or absent";
    }
  }
  EXPECT_GE(caughtMidway, 1) << "no kill landed while the list was being merged";
}
#endif

}  // namespace
}  // namespace ombrix
