// AnswerCache: the JSON text of the last value answer of each plugin
// function, kept together with that answer.
//
// A plugin hands out the same block again for a value that did not change
// (the highlights list shares one snapshot until the list changes), and a
// block the host has not yet released can be neither changed nor reused by
// the plugin. So while the cache holds a function's previous answer, a new
// answer whose value is that very block (same kind, address and size) has
// the same JSON text, and the text is not written again. Any other value
// replaces the entry. The held answers are released by Clear, which must
// run before the plugin shuts down.
//
//   std::string json = cache.JsonOf(descriptor, std::move(answer));
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "PluginFunctions.h"

namespace Corvan::Host {

class AnswerCache {
 public:
  // The JSON text of the answer's value (an answer without error or
  // stream), reused when the value is the block held for the function.
  [[nodiscard]] std::shared_ptr<const std::string> JsonOf(const FunctionDescriptor& function,
                                                          HeldResponse answer);

  // Releases every held answer.
  void Clear();

 private:
  struct Entry {
    HeldResponse answer;
    std::shared_ptr<const std::string> json;
  };

  std::mutex lock_;
  std::unordered_map<const FunctionDescriptor*, Entry> entries_;
};

}  // namespace Corvan::Host
