// A whole merge with both engines: random new-keys bytes, random bytes of the file to be updated and a
// policy (with a base for the one that keeps the user's edits). The memory engine must write the same bytes
// and count the same lines as the reference.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "engine_merge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const auto policy = static_cast<ombrix::MergePolicy>(data.ConsumeIntegralInRange<int>(0, 3));
  const bool preferNew = data.ConsumeBool();
  const std::string newKeys = data.ConsumeRandomLengthString(2048);
  const std::string base =
      policy == ombrix::MergePolicy::KeepMyEdits ? data.ConsumeRandomLengthString(2048) : "";
  const std::string userList = data.ConsumeRemainingBytesAsString();

  using ombrix::MergeEngine;
  const auto expected =
      ombrix::test::mergeWith(MergeEngine::File, userList, newKeys, policy, base, preferNew);
  const auto actual =
      ombrix::test::mergeWith(MergeEngine::Memory, userList, newKeys, policy, base, preferNew);
  if (!expected.completed || !actual.completed || actual.list != expected.list ||
      actual.count != expected.count) {
    std::abort();
  }
  return 0;
}
