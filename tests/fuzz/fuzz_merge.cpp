// A whole merge with both engines: random new-keys bytes, random bytes of the file to be updated and a
// policy. The memory engine must write the same bytes and count the same lines as the reference.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "ini/key_store.h"
#include "memory_files.h"
#include "merge/merge_pass.h"

namespace {

struct Result {
  std::string output;
  std::int32_t count;
};

Result merge(ombrix::KeyStore& store, ombrix::test::MemoryFiles& files, const std::string& newKeys,
             ombrix::MergePolicy policy) {
  std::istringstream in(newKeys);
  ombrix::LineReader lines(in);
  const ombrix::PassResult pass = ombrix::runMergePass(lines, store, policy, {});
  if (!store.finish()) {
    std::abort();
  }
  return {files.files["out.ini"], pass.changeCount};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const auto policy = static_cast<ombrix::MergePolicy>(data.ConsumeIntegralInRange<int>(0, 2));
  const std::string newKeys = data.ConsumeRandomLengthString(2048);
  const std::string userList = data.ConsumeRemainingBytesAsString();

  ombrix::test::MemoryFiles referenceFiles;
  referenceFiles.files["out.ini"] = userList;
  ombrix::WholeFileKeyStore reference("out.ini", referenceFiles);
  const Result expected = merge(reference, referenceFiles, newKeys, policy);

  ombrix::test::MemoryFiles memoryFiles;
  memoryFiles.files["out.ini"] = userList;
  ombrix::MemoryKeyStore memory("out.ini", memoryFiles);
  if (!memory.load()) {
    std::abort();
  }
  const Result actual = merge(memory, memoryFiles, newKeys, policy);
  if (actual.output != expected.output || actual.count != expected.count) {
    std::abort();
  }
  return 0;
}
