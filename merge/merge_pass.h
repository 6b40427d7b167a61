#pragma once

// The merge pass: reads the new-keys file line by line, follows the section each line belongs to, and
// hands every key line to the output store unless the merge policy says the output already has what it
// should keep. It counts the key writes, not the effective changes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ini/file/key_store.h"
#include "merge/line_reader.h"
#include "merge/new_keys_line.h"

namespace ombrix {

enum class MergePolicy {
  ReplaceAll,    // every key gets the new value
  KeepPlayable,  // games whose Comment says they are playable are left alone
  KeepExisting,  // only keys that are missing or empty in the output are written
  KeepMyEdits,   // every change of the newer list since the base, except where the user changed the key
};
// The policies by the names that the command line takes and the messages use.
std::string policyName(MergePolicy policy);
std::optional<MergePolicy> policyNamed(std::string_view name);
std::string policyNameList();  // "replace-all, keep-playable, ..."

class ThreeWayMerge;

// Receives "Processing line N" before each line is handled.
using ProgressCallback = std::function<void(std::string_view text)>;

struct PassResult {
  std::int32_t changeCount = 0;
  bool completed = true;  // false when the pass ended early on a failure
  bool writeFailed = false;  // it ended because the store could not write a key
  std::string failure;    // what ended it early
};

// Receives every key write with what it changed, when the store can tell.
using ChangeSink = std::function<void(std::string_view section, std::string_view key, std::string_view value,
                                      const KeyChange& change)>;

// threeWay: the base and the decisions of KeepMyEdits, which needs one.
PassResult runMergePass(LineReader& newKeys, KeyStore& output, MergePolicy policy,
                        const ProgressCallback& progress, const ChangeSink& changes = {},
                        ThreeWayMerge* threeWay = nullptr);

// Whether KeepPlayable leaves a section with this Comment alone.
bool statusSaysPlayable(std::string_view comment);

}  // namespace ombrix
