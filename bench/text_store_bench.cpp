// How the whole-text store scales: every read and write searches the text from its start, so a merge
// with the reference store costs key lines times file size.

#include <benchmark/benchmark.h>

#include <string>

#include "ini/text/ini_text.h"

namespace {

// A game list of the usual shape: one section per game, a Comment and a few settings, an empty line after.
std::string gameList(int games) {
  std::string text;
  for (int i = 0; i < games; ++i) {
    const std::string n = std::to_string(i);
    text += "[Game " + n + "]\r\nComment=Playable\r\nSpeed=" + n + "\r\nSound=1\r\nVideo=2\r\n\r\n";
  }
  return text;
}

void readLastSection(benchmark::State& state) {
  const int games = static_cast<int>(state.range(0));
  const std::string text = gameList(games);
  const std::string section = "Game " + std::to_string(games - 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ombrix::readKeyInText(text, section, "Video"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(readLastSection)->Arg(800)->Arg(5000);

void replaceInLastSection(benchmark::State& state) {
  const int games = static_cast<int>(state.range(0));
  std::string text = gameList(games);
  const std::string section = "Game " + std::to_string(games - 1);
  for (auto _ : state) {
    ombrix::saveKeyInText(text, section, "Sound", "0");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(replaceInLastSection)->Arg(800)->Arg(5000);

}  // namespace
