#pragma once

// What one key write really did to a list.

#include <string_view>

namespace ombrix {

struct KeyChange {
  enum class Kind {
    None,     // the list holds the same key and value as before (or nothing was there to delete)
    Added,    // the key was not in its section before
    Changed,  // the key had another value
    Deleted,  // the key was removed
  };
  Kind kind = Kind::None;
  bool sectionAdded = false;  // the key came with a new section
  std::string_view oldValue;  // for Changed and Deleted; valid until the next write
};

}  // namespace ombrix
