#include "binding/readers/YamlParserLease.h"

namespace Corvan {
namespace {

// Trivially destructible, so it stays usable while the thread ends, after
// the closer below has deleted the kept parser.
struct ThreadParser {
  yaml_parser_t parser;
  bool kept;    // `parser` is cleared and waits for the next read
  bool closed;  // the thread is ending: nothing more is kept
};
thread_local constinit ThreadParser t_parser{};

// Deletes the thread's kept parser when the thread ends.
struct ThreadParserCloser {
  bool registered = false;
  ~ThreadParserCloser() {
    if (t_parser.kept) yaml_parser_delete(&t_parser.parser);
    t_parser.kept = false;
    t_parser.closed = true;
  }
};
thread_local ThreadParserCloser t_closer;

// A parser that ended its stream cleanly owns nothing but its buffers and
// stacks: its token queue and tag directives are empty. Any other still owns
// what only yaml_parser_delete knows how to free.
bool EndedCleanly(const yaml_parser_t& parser) {
  return parser.error == YAML_NO_ERROR && parser.state == YAML_PARSE_END_STATE &&
         parser.tokens.head == parser.tokens.tail &&
         parser.tag_directives.top == parser.tag_directives.start;
}

// What yaml_parser_initialize leaves, on the buffers and stacks the parser
// already has: each of them empty, every other field zero.
void Clear(yaml_parser_t& parser) {
  yaml_parser_t cleared{};
  cleared.raw_buffer = {parser.raw_buffer.start, parser.raw_buffer.end, parser.raw_buffer.start,
                        parser.raw_buffer.start};
  cleared.buffer = {parser.buffer.start, parser.buffer.end, parser.buffer.start,
                    parser.buffer.start};
  cleared.tokens = {parser.tokens.start, parser.tokens.end, parser.tokens.start,
                    parser.tokens.start};
  cleared.indents = {parser.indents.start, parser.indents.end, parser.indents.start};
  cleared.simple_keys = {parser.simple_keys.start, parser.simple_keys.end,
                         parser.simple_keys.start};
  cleared.states = {parser.states.start, parser.states.end, parser.states.start};
  cleared.marks = {parser.marks.start, parser.marks.end, parser.marks.start};
  cleared.tag_directives = {parser.tag_directives.start, parser.tag_directives.end,
                            parser.tag_directives.start};
  parser = cleared;
}

}  // namespace

YamlParserLease::YamlParserLease() {
  ThreadParser& thread = t_parser;
  if (thread.kept) {
    parser_ = thread.parser;
    thread.kept = false;
    valid_ = true;
  } else {
    valid_ = yaml_parser_initialize(&parser_) != 0;
  }
}

YamlParserLease::~YamlParserLease() {
  if (!valid_) return;  // libyaml freed what it had allocated
  ThreadParser& thread = t_parser;
  if (thread.kept || thread.closed || !EndedCleanly(parser_)) {
    yaml_parser_delete(&parser_);
    return;
  }
  // The closer's first use registers its destructor for this thread.
  if (!t_closer.registered) t_closer.registered = true;
  Clear(parser_);
  thread.parser = parser_;
  thread.kept = true;
}

}  // namespace Corvan
