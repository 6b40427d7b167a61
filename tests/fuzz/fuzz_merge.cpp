// A whole merge with both engines: random new-keys bytes, random bytes of the file to be updated and a
// policy (with a base for the one that keeps the user's edits). The memory engine must write the same bytes
// and count the same lines as the reference.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "ini/key_store.h"
#include "memory_files.h"
#include "merge/merge_pass.h"
#include "merge/three_way.h"

namespace {

struct Result {
  std::string output;
  std::int32_t count;
};

// base and preferNew: for the policy that keeps the user's edits.
Result merge(ombrix::KeyStore& store, ombrix::test::MemoryFiles& files, const std::string& newKeys,
             ombrix::MergePolicy policy, const std::string& base, bool preferNew) {
  std::istringstream in(newKeys);
  ombrix::LineReader lines(in);
  ombrix::BaseList baseList(base);
  ombrix::ThreeWayMerge threeWay(baseList, preferNew);
  const ombrix::PassResult pass = ombrix::runMergePass(lines, store, policy, {}, {}, &threeWay);
  if (!store.finish()) {
    std::abort();
  }
  return {files.files["out.ini"], pass.changeCount};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const auto policy = static_cast<ombrix::MergePolicy>(data.ConsumeIntegralInRange<int>(0, 3));
  const bool preferNew = data.ConsumeBool();
  const std::string newKeys = data.ConsumeRandomLengthString(2048);
  const std::string base =
      policy == ombrix::MergePolicy::KeepMyEdits ? data.ConsumeRandomLengthString(2048) : "";
  const std::string userList = data.ConsumeRemainingBytesAsString();

  ombrix::test::MemoryFiles referenceFiles;
  referenceFiles.files["out.ini"] = userList;
  ombrix::WholeFileKeyStore reference("out.ini", referenceFiles);
  const Result expected = merge(reference, referenceFiles, newKeys, policy, base, preferNew);

  ombrix::test::MemoryFiles memoryFiles;
  memoryFiles.files["out.ini"] = userList;
  ombrix::MemoryKeyStore memory("out.ini", memoryFiles);
  if (!memory.load()) {
    std::abort();
  }
  const Result actual = merge(memory, memoryFiles, newKeys, policy, base, preferNew);
  if (actual.output != expected.output || actual.count != expected.count) {
    std::abort();
  }
  return 0;
}
