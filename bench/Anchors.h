// The anchors the readers and request bodies are measured against, shared by
// the benchmark programs: each reads the same bytes with the library alone.
#pragma once

// The same choice as src/binding/readers/JsonReader.cpp, so that both sides
// run the same RapidJSON code (and its templates agree between the two).
#if !defined(RAPIDJSON_SSE2) && !defined(RAPIDJSON_SSE42) &&           \
    (defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64) || \
     (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define RAPIDJSON_SSE2
#endif
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <yaml.h>

#include <msgpack.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace BenchSupport {

// rapidjson::Document::Parse into RapidJSON's own DOM; false on an error.
inline bool ParseRapidJsonDocument(const std::string& body) {
  rapidjson::Document document;
  document.Parse(body.c_str(), body.size());
  benchmark::DoNotOptimize(document);
  return !document.HasParseError();
}

// msgpack::unpack into an object handle.
inline void UnpackMsgpack(const std::vector<std::uint8_t>& body) {
  msgpack::object_handle handle;
  msgpack::unpack(handle, reinterpret_cast<const char*>(body.data()), body.size());
  benchmark::DoNotOptimize(handle.get());
}

// libyaml's bare event loop: parse and delete every event (the floor any
// reader on libyaml pays); false on a parse error.
inline bool LibyamlEventLoop(const std::string& body) {
  yaml_parser_t parser;
  yaml_parser_initialize(&parser);
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(body.data()),
                               body.size());
  yaml_event_t event;
  std::size_t events = 0;
  bool done = false;
  while (!done && yaml_parser_parse(&parser, &event) != 0) {
    done = event.type == YAML_STREAM_END_EVENT;
    ++events;
    yaml_event_delete(&event);
  }
  const bool ok = parser.error == YAML_NO_ERROR;
  yaml_parser_delete(&parser);
  benchmark::DoNotOptimize(events);
  return ok;
}

}  // namespace BenchSupport
