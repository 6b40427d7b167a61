#pragma once

// What the tests of the merge command start from: the user's list and the new keys in a folder of their
// own, a host that answers the output question, a folder for the kept bases, and another merge's lock.

#include <future>
#include <optional>
#include <string>
#include <vector>

#include "merge/base_store.h"
#include "merge/merge_command.h"
#include "merge/output_lock.h"
#include "test_support.h"

namespace ombrix::test {

// A host that answers the output question from a fixed path and records what the command asked of it.
class FakeHost final : public MergeHost {
 public:
  std::filesystem::path outputChoice;
  std::vector<std::string> events;
  int progressLines = 0;

  std::filesystem::path askOutputPath(const std::filesystem::path& proposed) override {
    events.push_back("save dialog proposing " + proposed.filename().string());
    return outputChoice;
  }
  void showProgress(std::string_view) override { ++progressLines; }
  void endProgress() override { events.emplace_back("progress ended"); }
};

inline const std::string kUserList = crlf("[G1]|Comment=Unplayable|Speed=1||");
inline const std::string kNewList = crlf("[G1]|Speed=2|[G2]|Speed=3|");
inline const std::string kMerged = crlf("[G1]|Comment=Unplayable|Speed=2||||[G2]|Speed=3||");

// Another merge's lock of file, held on a thread of its own (a merge's own thread may take its lock again)
// until this ends.
class OtherMerge {
 public:
  explicit OtherMerge(const std::filesystem::path& file)
      : holder_(std::async(std::launch::async, [file, this] {
          const auto lock = OutputLock::acquire(file, std::chrono::milliseconds(0));
          taken_.set_value();
          release_.get_future().wait();
        })) {
    taken_.get_future().wait();
  }
  ~OtherMerge() {
    release_.set_value();
    holder_.wait();
  }

 private:
  std::promise<void> taken_;
  std::promise<void> release_;
  std::future<void> holder_;
};

// The two lists, merged in place unless a test chooses another output; the bases are kept in a folder of
// the test's own, beside the lists' folder.
struct TwoLists {
  TempDir dir;
  TempDir data;
  FakeHost host;
  MergeRequest request;
  MergeOptions options;
  std::optional<OtherMerge> otherMerge;

  TwoLists() {
    request.newKeys = dir.file("new.ini", kNewList);
    request.fileToUpdate = host.outputChoice = dir.file("Mine.INI", kUserList);
    options.waitForOtherMerge = std::chrono::milliseconds(0);
    options.basesFolder = data / "bases";
  }
  MergeReport merge() { return runMergeCommand(request, host, options); }
  // Keeps the user's edits against a base of the given bytes; returns the base.
  std::filesystem::path keepMyEditsWithBase(const char* name, std::string_view bytes = kNewList) {
    request.policy = MergePolicy::KeepMyEdits;
    return request.base = dir.file(name, bytes);
  }
  // Merges other new keys into the list in place.
  MergeReport mergeInPlace(const std::string& newKeys, MergePolicy policy = MergePolicy::ReplaceAll) {
    test::writeFile(request.newKeys, newKeys);
    request.policy = policy;
    host.outputChoice = request.fileToUpdate;
    return merge();
  }
  std::string keptBaseOf(const std::filesystem::path& list) const {
    const std::optional<std::filesystem::path> base = BaseStore(options.basesFolder).baseOf(list);
    return base ? readFile(*base) : "(none)";
  }
};

}  // namespace ombrix::test
