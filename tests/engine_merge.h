#pragma once

// One merge pass over lists held in memory, with the engine of choice: the memory engine, or the reference
// that reads and rewrites the whole file for every key. The differential test, the fuzzer and the tests of
// single cases all ask it for "what this engine makes of these bytes".

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ini/file/key_store.h"
#include "file_fakes.h"
#include "merge/merge_command.h"
#include "merge/three_way.h"

namespace ombrix::test {

struct EngineMerge {
  std::string list;  // the list after the pass
  std::int32_t count = 0;
  bool completed = false;  // the pass ran to its end and the store finished
  std::vector<Conflict> conflicts;
  std::vector<std::string> deletedGames;
};

// base and preferNew: for the policy that keeps the user's edits. progress is called with the list as it
// stands before each line (the reference engine's list is on "disk" after every write).
inline EngineMerge mergeWith(MergeEngine engine, const std::string& list, const std::string& newKeys,
                             MergePolicy policy, const std::string& base = {}, bool preferNew = false,
                             const std::function<void(const std::string& list)>& progress = {}) {
  MemoryFiles files;
  files.files["list.ini"] = list;
  WholeFileKeyStore reference("list.ini", files);
  MemoryKeyStore memory("list.ini", files);
  KeyStore& store = engine == MergeEngine::File ? static_cast<KeyStore&>(reference) : memory;
  EngineMerge result;
  if (engine == MergeEngine::Memory && !memory.load()) {
    return result;
  }
  std::istringstream in(newKeys);
  LineReader lines(in);
  BaseList baseList(base);
  ThreeWayMerge threeWay(baseList, preferNew);
  ProgressCallback onLine;
  if (progress) {
    onLine = [&](std::string_view) { progress(files.files["list.ini"]); };
  }
  const PassResult pass = runMergePass(lines, store, policy, onLine, {}, &threeWay);
  result.completed = store.finish() && pass.completed;
  result.list = files.files["list.ini"];
  result.count = pass.changeCount;
  result.conflicts = threeWay.conflicts();
  result.deletedGames = threeWay.deletedGames();
  return result;
}

}  // namespace ombrix::test
