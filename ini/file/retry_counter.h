#pragma once

namespace ombrix {

// Counts the failures of one call. A failed step is tried again at once; the 101st failure in one call
// ends the call.
class RetryCounter {
 public:
  static constexpr int kMaxRetries = 100;

  template <typename Step>
  bool run(Step&& step) {
    while (!step()) {
      if (++failures_ > kMaxRetries) {
        return false;
      }
    }
    return true;
  }

 private:
  int failures_ = 0;
};

}  // namespace ombrix
