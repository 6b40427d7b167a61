// The indexed document against the whole-text functions: a random text, read whole or in small chunks, then
// a random sequence of reads and writes. Every value read and every byte of the text must agree after each
// step.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine_merge.h"

namespace {

// Names drawn mostly from a few spellings, so that reads and writes meet the same sections and keys, with
// now and then arbitrary bytes.
std::string pickName(FuzzedDataProvider& data, const char* const* names, std::size_t count) {
  if (data.ConsumeIntegralInRange<int>(0, 9) == 0) {
    return data.ConsumeRandomLengthString(12);
  }
  return names[data.ConsumeIntegralInRange<std::size_t>(0, count - 1)];
}

void agree(bool same) {
  if (!same) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const char* const kSections[] = {"G", "g", "A[B", "x]y", "\xC9T\xC9", "\xE9t\xE9", " G", ""};
  static const char* const kKeys[] = {"Comment", "COMMENT", "k", "K", "\xC0", "\xE0", "[G", ""};
  FuzzedDataProvider data(bytes, size);
  // Sections read in chunks of a few bytes try the runs of chunks and their key index.
  const std::size_t chunkBytes =
      data.ConsumeBool() ? ombrix::IniDocument::kChunkBytes : data.ConsumeIntegralInRange<std::size_t>(1, 64);
  std::string reference = data.ConsumeRandomLengthString(4096);
  ombrix::IniDocument document = ombrix::test::documentOf(reference, chunkBytes);
  ombrix::normaliseLoadedText(reference);
  while (data.remaining_bytes() > 0) {
    const std::string section = pickName(data, kSections, std::size(kSections));
    const std::string key = pickName(data, kKeys, std::size(kKeys));
    const bool write = data.ConsumeBool();
    const std::string value = write ? data.ConsumeRandomLengthString(16) : "";
    const ombrix::test::DocumentStep step =
        ombrix::test::stepDocument(document, reference, section, key, write ? &value : nullptr);
    agree(step.read == step.expectedRead && (!write || document.text() == reference));
  }
  return 0;
}
