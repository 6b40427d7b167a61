#pragma once

// One merge pass over lists held in memory, with the engine of choice: the memory engine, or the reference
// that reads and rewrites the whole file for every key; and one read or write of the fast document beside
// the whole-text functions. The differential tests, the fuzzers and the tests of single cases all take
// their expected results from here.

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "file_fakes.h"
#include "ini/document/ini_document.h"
#include "ini/file/key_store.h"
#include "ini/text/ini_text.h"
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

// A document over a copy of text, its sections read in chunks of chunkBytes.
inline IniDocument documentOf(std::string_view text, std::size_t chunkBytes = IniDocument::kChunkBytes) {
  TextBlock block(text.size());
  block.append(text);
  return IniDocument(std::move(block), chunkBytes);
}

// A read of section and key from the document and from reference, the text the whole-text functions hold;
// then, given a value, the same write to both.
struct DocumentStep {
  std::string read;          // by the document
  std::string expectedRead;  // by the whole-text functions
  KeyLookup before;          // the key as reference held it before the write
};
inline DocumentStep stepDocument(IniDocument& document, std::string& reference, const std::string& section,
                                 const std::string& key, const std::string* value) {
  std::string loaded = reference;
  normaliseLoadedText(loaded);
  DocumentStep step{std::string(document.readKey(section, key)), readKeyInText(loaded, section, key),
                    lookupKeyInText(loaded, section, key)};
  if (value != nullptr) {
    if (!section.empty() && !key.empty()) {
      reference = std::move(loaded);
      saveKeyInText(reference, section, key, *value);
    }
    document.saveKey(section, key, *value);
  }
  return step;
}

}  // namespace ombrix::test
