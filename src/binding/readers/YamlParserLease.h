// YamlParserLease: the libyaml parser of one YAML read, lent from the
// calling thread's own.
//
// yaml_parser_initialize allocates about 64 KiB of buffers and stacks and
// yaml_parser_delete gives them back; for a small body that costs as much as
// reading a good part of its text. So each thread keeps one parser: a lease
// takes it (or initializes a new one when the thread has none, or lends it
// already), and gives it back when it ends. A parser that read its text to
// the end without an error is then cleared back to the state
// yaml_parser_initialize leaves and kept; any other is deleted by libyaml.
// The kept parser goes when its thread ends.
//
//   YamlParserLease lease;
//   if (!lease.valid()) return ReportOutOfMemory();
//   yaml_parser_set_input_string(&lease.parser(), text, size);
#pragma once

#include <yaml.h>

namespace Corvan {

class YamlParserLease {
 public:
  YamlParserLease();
  ~YamlParserLease();
  YamlParserLease(const YamlParserLease&) = delete;
  YamlParserLease& operator=(const YamlParserLease&) = delete;

  // False when libyaml could not initialize a parser (out of memory); the
  // parser then holds libyaml's error fields all the same.
  bool valid() const { return valid_; }
  // A parser in the state yaml_parser_initialize leaves, until used.
  yaml_parser_t& parser() { return parser_; }

 private:
  yaml_parser_t parser_{};
  bool valid_ = false;
};

}  // namespace Corvan
