#include "binding/readers/YamlReader.h"

#include <yaml.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "binding/BindingTypes.h"
#include "binding/ScalarAssign.h"
#include "binding/readers/FrameStack.h"
#include "binding/readers/TreeBuilder.h"
#include "binding/readers/YamlParserLease.h"
#include "logging/FormatPositional.h"

namespace Corvan {

// Every text this reader reports (the tagged int and float scalars add the
// shared conversion messages). Lines and columns count from 1, except in the
// parser error, which gives libyaml's own 0-based position.
namespace YamlMessages {
constexpr const char* kMultiDocument = "Multi-document YAML is not supported.";
constexpr const char* kCyclicAlias =
    "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
constexpr const char* kUndefinedAlias = "Undefined alias encountered: \"%1\". At line: %2 col: %3";
constexpr const char* kDuplicateAnchor =
    "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
constexpr const char* kInvalidKey =
    "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
constexpr const char* kUnexpectedSequence = "Unexpected start of sequence. At line: %1 col: %2";
constexpr const char* kUnexpectedMapping = "Unexpected start of mapping. At line: %1 col: %2";
constexpr const char* kTooDeep =
    "Nesting deeper than %1 levels is not supported. At line: %2 col: %3";
constexpr const char* kAliasBudget =
    "Alias expansion exceeds %1 values. Alias \"%2\". At line: %3 col: %4";
constexpr const char* kUnsupportedTag = "Unsupported YAML tag '%1'.";
constexpr const char* kParserError = "YAML parser error: %1. At line: %2 col: %3";
constexpr const char* kNoProblemText = "out of memory";
constexpr const char* kOutOfMemory = "Out of memory while reading YAML.";
constexpr const char* kOverBudget =
    "The YAML document needs more than %1 bytes of memory for each byte of its text.";
}  // namespace YamlMessages

namespace {

namespace Msg = YamlMessages;

constexpr std::string_view kStrTag = "tag:yaml.org,2002:str";
constexpr std::string_view kIntTag = "tag:yaml.org,2002:int";
constexpr std::string_view kFloatTag = "tag:yaml.org,2002:float";
constexpr std::string_view kBoolTag = "tag:yaml.org,2002:bool";
constexpr const char* kConversionName = "yaml";

constexpr std::string_view kNullWords[] = {"", "~", "null", "Null", "NULL"};
constexpr std::string_view kTrueWords[] = {"true", "True", "TRUE", "y",  "Y", "yes",
                                           "Yes",  "YES",  "on",   "On", "ON"};
constexpr std::string_view kFalseWords[] = {"false", "False", "FALSE", "n",   "N",  "no",
                                            "No",    "NO",    "off",   "Off", "OFF"};
// No word of the lists is longer, so longer texts skip the comparisons.
constexpr std::size_t kLongestWord = 5;

// Alias copies may create this many values whatever the document's size, so
// that small bodies can still repeat a node a few times.
constexpr std::size_t kAliasAllowance = 65536;
constexpr std::size_t kAliasValuesPerEvent = 10;

template <std::size_t N>
bool IsWord(const std::string_view (&words)[N], std::string_view text) {
  if (text.size() > kLongestWord) return false;
  return std::find(std::begin(words), std::end(words), text) != std::end(words);
}

const char* AsText(const yaml_char_t* text) { return reinterpret_cast<const char*>(text); }

// The bytes of `chars` as a table, so that a test costs one load.
constexpr std::array<bool, 256> ByteSet(std::string_view chars) {
  std::array<bool, 256> set{};
  for (const char c : chars) set[static_cast<unsigned char>(c)] = true;
  return set;
}

// A scalar can only be a number for strtod when it starts like one; the
// check keeps strtod off the many texts that are plainly words. Infinities
// ("inf") are refused anyway, so only "nan" needs a letter.
constexpr std::array<bool, 256> kNumberStarts = ByteSet("0123456789-+.nN \t\n\v\f\r");
// Only texts starting with these can be a null or boolean word, so the rest
// skip the word lists.
constexpr std::array<bool, 256> kWordStarts = ByteSet("~nNyYtTfFoO");

bool StartsLike(const std::array<bool, 256>& starts, std::string_view text) {
  return starts[static_cast<unsigned char>(text[0])];
}

// Decimal integers are read exactly (strtod would round ids past 2^53); the
// other texts, and those out of the 64-bit ranges, are left to strtod.
bool ReadDecimalInteger(BindingProperty& target, std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  // Nineteen digits cannot overflow 64 bits, so most numbers are summed
  // without the checks of the general conversion below.
  const bool negative = text[0] == '-';
  if (const char* digits = first + negative; digits != last && last - digits <= 19) {
    std::uint64_t value = 0;
    for (const char* at = digits; at != last; ++at) {
      const unsigned digit = static_cast<unsigned char>(*at) - unsigned{'0'};
      if (digit > 9) return false;
      value = value * 10 + digit;
    }
    constexpr std::uint64_t kMostNegative = std::uint64_t{1} << 63;
    if (!negative || value == 0) {
      target.SetUnsigned(value);  // "-0" is not negative, as for strtod
    } else if (value <= kMostNegative) {
      target.SetSigned(static_cast<std::int64_t>(0 - value));
    } else {
      return false;
    }
    return true;
  }
  if (negative) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return false;
    // "-0" is not negative, so it stays unsigned as strtod's value would.
    value < 0 ? target.SetSigned(value) : target.SetUnsigned(std::uint64_t{0});
    return true;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return false;
  target.SetUnsigned(value);
  return true;
}

// The number test of untagged scalars; `text` is zero-terminated by libyaml.
bool ReadNumber(BindingProperty& target, std::string_view text) {
  if (!StartsLike(kNumberStarts, text)) return false;
  if (ReadDecimalInteger(target, text)) return true;
  char* end = nullptr;
  const double value = std::strtod(text.data(), &end);
  if (end != text.data() + text.size() || std::isinf(value)) return false;
  // Integral values outside the 64-bit ranges stay floats rather than wrap.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (std::isnan(value) || value != std::trunc(value) || value >= 2 * kTwoTo63 ||
      value < -kTwoTo63) {
    target.SetFloat(value);
  } else if (value < 0) {
    target.SetSigned(static_cast<std::int64_t>(value));
  } else {
    target.SetUnsigned(static_cast<std::uint64_t>(value));
  }
  return true;
}

// Only an escape of a double-quoted scalar can make a zero byte: libyaml
// refuses one in the text itself.
void SetScalarText(BindingProperty& target, std::string_view text, yaml_scalar_style_t style) {
  style == YAML_DOUBLE_QUOTED_SCALAR_STYLE ? target.SetString(text)
                                           : target.SetZeroFreeString(text);
}

// Resolves in the documented order: null word, number, boolean word, string.
void ReadUntagged(BindingProperty& target, std::string_view text, yaml_scalar_style_t style) {
  if (style == YAML_SINGLE_QUOTED_SCALAR_STYLE || style == YAML_DOUBLE_QUOTED_SCALAR_STYLE) {
    return SetScalarText(target, text, style);
  }
  if (text.empty()) return target.SetEmpty();
  const bool mayBeWord = text.size() <= kLongestWord && StartsLike(kWordStarts, text);
  if (mayBeWord && IsWord(kNullWords, text)) {
    target.SetEmpty();
  } else if (ReadNumber(target, text)) {
  } else if (mayBeWord && IsWord(kTrueWords, text)) {
    target.SetBool(true);
  } else if (mayBeWord && IsWord(kFalseWords, text)) {
    target.SetBool(false);
  } else {
    target.SetZeroFreeString(text);
  }
}

// The values of a tree (counting stops once past `limit`) and how many
// container levels it has.
struct TreeSize {
  std::size_t values = 0, height = 0;
};

void Measure(const BindingProperty& node, std::size_t level, std::size_t limit, TreeSize& size) {
  const PropertyKind kind = node.kind();
  if (++size.values > limit ||
      (kind != PropertyKind::Collection && kind != PropertyKind::Structure)) {
    return;
  }
  size.height = std::max(size.height, level + 1);
  const auto visit = [&](const BindingProperty& child) {
    if (size.values <= limit) Measure(child, level + 1, limit, size);
  };
  for (const BindingProperty& element : node.Elements()) visit(element);
  if (const PropertyMap* fields = node.Fields()) {
    for (const auto& field : *fields) visit(field.second);
  }
}

// libyaml gives reader errors (bad UTF-8, control characters) as a byte
// offset only; this finds the 0-based line and column of the other errors.
yaml_mark_t MarkOfOffset(std::string_view text, std::size_t offset) {
  yaml_mark_t mark{};
  mark.index = offset;
  offset = std::min(offset, text.size());
  for (std::size_t i = 0; i < offset; ++i) {
    const char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++mark.line, mark.column = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && c != '\r') {
      ++mark.column;  // a character starts here (UTF-8 continuation bytes do not count)
    }
  }
  return mark;
}

// Where a node sits: the root, an index of a collection or a key of a
// structure. Anchors keep paths of these rather than node addresses, since
// collections move their elements as they grow and repeated keys may
// replace a node. A key's text is kept in the reader's step keys, so that
// steps are plain values and opening a container allocates nothing.
struct Step {
  enum class Kind : std::uint8_t { Root, Index, Key };
  Kind kind;
  std::size_t index;  // the element's index, or where the key's text starts
};

struct PathNode {
  std::ptrdiff_t parent;  // kRootPath or an index into the path arena
  Step step;
};
constexpr std::ptrdiff_t kRootPath = -1;
constexpr std::ptrdiff_t kNoPath = -2;

struct Anchor {
  bool open = false;  // the anchored node is still being read
  bool isKey = false;
  std::string keyText;
  std::ptrdiff_t path = kRootPath;
};

// An open container as the reader sees it; parallel to the builder's stack.
struct OpenNode {
  Step step;
  std::ptrdiff_t path;  // kNoPath until an anchor needs it
  Anchor* anchor;
};

class YamlReader {
 public:
  YamlReader(BindingResult& result, std::string_view text)
      : result_(result), text_(text), builder_(result.property, TreeBuilder::ArrayMode::Append) {}
  YamlReader(const YamlReader&) = delete;
  YamlReader& operator=(const YamlReader&) = delete;
  void Run();

 private:
  void Handle(const yaml_event_t& event);
  // A body is one value: a document after one that gave a value is refused;
  // empty documents before it ("~", a bare "---") hold nothing to lose.
  void OnDocumentStart() {
    if (!result_.property.IsEmpty()) result_.ReportError(Msg::kMultiDocument);
  }
  void OnScalar(const yaml_event_t& event);
  void OnAnchoredScalar(const yaml_event_t& event);
  bool ReadScalar(BindingProperty& target, const yaml_event_t& event);
  void OnKey(const yaml_event_t& event);
  void OnAlias(const yaml_event_t& event);
  void OnContainerStart(const yaml_event_t& event, const yaml_char_t* anchor, bool mapping);
  void OnContainerEnd() {
    if (open_.empty()) return;  // libyaml balances its events; this is only a guard
    const OpenNode& node = open_.back();
    if (node.anchor != nullptr) node.anchor->open = false;
    // Without a path, no anchor refers to this node or to any below it, so
    // its key is the first of the step keys no path needs.
    if (node.path == kNoPath && node.step.kind == Step::Kind::Key) {
      stepKeys_.resize(node.step.index);
    }
    open_.pop_back();
    builder_.End();
  }
  bool ReadTagged(BindingProperty& target, std::string_view tag, std::string_view text);
  bool ReadTaggedNumber(BindingProperty& target, std::string_view text, bool integer);
  void CopyAnchored(BindingProperty& target, const Anchor& anchor, const yaml_event_t& event);
  Anchor* DefineAnchor(const yaml_char_t* name, const yaml_mark_t& mark, std::ptrdiff_t path);
  Step NextStep();
  std::ptrdiff_t AddStep(std::ptrdiff_t parent, Step step) {
    paths_.push_back({parent, step});
    return std::ssize(paths_) - 1;
  }
  std::ptrdiff_t PathOfOpen(std::size_t level);
  const BindingProperty& Resolve(std::ptrdiff_t path);
  std::size_t AliasAllowance() const {
    return std::min(kMaxYamlAliasValues, kAliasAllowance + kAliasValuesPerEvent * events_);
  }
  void ReportParserError();

  // Reports a message whose last two arguments are the event's line and
  // column, counted from 1.
  template <class... Args>
  void ReportAt(const char* format, const yaml_mark_t& mark, const Args&... args) {
    result_.ReportError(FormatPositionalText(format, args..., mark.line + 1, mark.column + 1));
  }

  BindingResult& result_;
  std::string_view text_;
  YamlParserLease lease_;
  yaml_parser_t& parser_ = lease_.parser();
  TreeBuilder builder_;
  FrameStack<OpenNode, 32> open_;
  std::string stepKeys_;  // the keys of steps, each followed by a zero byte
  std::map<std::string, Anchor, std::less<>> anchors_;
  std::vector<PathNode> paths_;
  std::vector<std::ptrdiff_t> walk_;  // scratch for Resolve
  std::size_t events_ = 0;
  std::size_t aliasValues_ = 0;
};

void YamlReader::Run() {
  // libyaml refuses a null input pointer, which an empty view may carry.
  static const unsigned char kNothing = 0;
  const auto* input =
      text_.empty() ? &kNothing : reinterpret_cast<const unsigned char*>(text_.data());
  if (!lease_.valid()) return ReportParserError();
  yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser_, input, text_.size());

  yaml_event_t event;
  bool parsed = yaml_parser_parse(&parser_, &event) != 0;
  while (result_.success && parsed && event.type != YAML_STREAM_END_EVENT) {
    ++events_;
    try {
      Handle(event);
    } catch (...) {
      yaml_event_delete(&event);
      throw;
    }
    yaml_event_delete(&event);
    parsed = yaml_parser_parse(&parser_, &event) != 0;
  }
  yaml_event_delete(&event);
  if (result_.success && parser_.error != YAML_NO_ERROR) ReportParserError();
}

void YamlReader::Handle(const yaml_event_t& event) {
  // Most events are scalars; testing for them first spares most events the
  // jump through the table.
  if (event.type == YAML_SCALAR_EVENT) return OnScalar(event);
  switch (event.type) {
    case YAML_NO_EVENT:
    case YAML_STREAM_START_EVENT:
    case YAML_STREAM_END_EVENT:
    case YAML_DOCUMENT_END_EVENT: return;
    case YAML_DOCUMENT_START_EVENT: return OnDocumentStart();
    case YAML_ALIAS_EVENT: return OnAlias(event);
    case YAML_SCALAR_EVENT: return OnScalar(event);
    case YAML_SEQUENCE_START_EVENT:
      return OnContainerStart(event, event.data.sequence_start.anchor, false);
    case YAML_MAPPING_START_EVENT:
      return OnContainerStart(event, event.data.mapping_start.anchor, true);
    case YAML_SEQUENCE_END_EVENT:
    case YAML_MAPPING_END_EVENT: return OnContainerEnd();
  }
}

void YamlReader::OnScalar(const yaml_event_t& event) {
  if (builder_.AwaitsKey()) return OnKey(event);
  if (event.data.scalar.anchor != nullptr) return OnAnchoredScalar(event);
  ReadScalar(builder_.Target(), event);
}

// Anchors cost their bookkeeping only where a document has them.
void YamlReader::OnAnchoredScalar(const yaml_event_t& event) {
  // The step is taken before the builder appends the element it names.
  const Step step = NextStep();
  if (!ReadScalar(builder_.Target(), event)) return;
  const std::ptrdiff_t path =
      step.kind == Step::Kind::Root ? kRootPath : AddStep(PathOfOpen(open_.size() - 1), step);
  DefineAnchor(event.data.scalar.anchor, event.start_mark, path);
}

// False when a tag is refused (with the message reported).
bool YamlReader::ReadScalar(BindingProperty& target, const yaml_event_t& event) {
  const auto& scalar = event.data.scalar;
  const std::string_view text(AsText(scalar.value), scalar.length);
  if (scalar.tag != nullptr) return ReadTagged(target, AsText(scalar.tag), text);
  ReadUntagged(target, text, scalar.style);
  return true;
}

void YamlReader::OnKey(const yaml_event_t& event) {
  const auto& scalar = event.data.scalar;
  if (scalar.tag != nullptr && AsText(scalar.tag) != kStrTag) {
    return ReportAt(Msg::kInvalidKey, event.start_mark);
  }
  builder_.Key(std::string_view(AsText(scalar.value), scalar.length));
  if (scalar.anchor == nullptr) return;
  if (Anchor* anchor = DefineAnchor(scalar.anchor, event.start_mark, kRootPath)) {
    anchor->isKey = true;
    anchor->keyText = builder_.PendingKey();
  }
}

void YamlReader::OnAlias(const yaml_event_t& event) {
  const char* name = AsText(event.data.alias.anchor);
  if (builder_.AwaitsKey()) return ReportAt(Msg::kInvalidKey, event.start_mark);
  const auto found = anchors_.find(std::string_view(name));
  if (found != anchors_.end() && found->second.open) {
    return ReportAt(Msg::kCyclicAlias, event.start_mark, name);
  }
  if (found == anchors_.end()) return ReportAt(Msg::kUndefinedAlias, event.start_mark, name);
  CopyAnchored(builder_.Target(), found->second, event);
}

// Copies are measured before they are made, so that neither the budget nor
// the nesting limit is passed even for a moment.
void YamlReader::CopyAnchored(BindingProperty& target, const Anchor& anchor,
                              const yaml_event_t& event) {
  const char* name = AsText(event.data.alias.anchor);
  const std::size_t allowance = AliasAllowance();
  const std::size_t remaining = allowance - std::min(allowance, aliasValues_);
  TreeSize size{1, 0};
  const BindingProperty* source = nullptr;
  if (!anchor.isKey) {
    // Resolved after Target(): appending may have moved the anchored node.
    source = &Resolve(anchor.path);
    size = {};
    Measure(*source, 0, remaining, size);
  }
  if (size.values > remaining)
    return ReportAt(Msg::kAliasBudget, event.start_mark, allowance, name);
  if (builder_.depth() + size.height > builder_.maxDepth()) {
    return ReportAt(Msg::kTooDeep, event.start_mark, builder_.maxDepth());
  }
  aliasValues_ += size.values;
  // Copy assignment copies aside first when one node lies inside the other.
  if (source == nullptr) {
    target.SetString(anchor.keyText);
  } else {
    target = *source;
  }
}

void YamlReader::OnContainerStart(const yaml_event_t& event, const yaml_char_t* anchor,
                                  bool mapping) {
  if (builder_.AwaitsKey()) {
    return ReportAt(mapping ? Msg::kUnexpectedMapping : Msg::kUnexpectedSequence, event.start_mark);
  }
  OpenNode node{NextStep(), kNoPath, nullptr};
  const bool opened = mapping ? builder_.BeginStructure() : builder_.BeginCollection();
  if (!opened) return ReportAt(Msg::kTooDeep, event.start_mark, builder_.maxDepth());
  if (node.step.kind == Step::Kind::Root) node.path = kRootPath;
  open_.push_back(std::move(node));
  if (anchor == nullptr) return;
  if (Anchor* entry = DefineAnchor(anchor, event.start_mark, PathOfOpen(open_.size() - 1))) {
    entry->open = true;
    open_.back().anchor = entry;
  }
}

bool YamlReader::ReadTagged(BindingProperty& target, std::string_view tag, std::string_view text) {
  if (tag == kStrTag) {
    target.SetString(text);
  } else if (tag == kIntTag || tag == kFloatTag) {
    return ReadTaggedNumber(target, text, tag == kIntTag);
  } else if (tag == kBoolTag) {
    // A text that is no boolean word leaves the value empty.
    if (IsWord(kTrueWords, text)) {
      target.SetBool(true);
    } else if (IsWord(kFalseWords, text)) {
      target.SetBool(false);
    } else {
      target.SetEmpty();
    }
  } else {
    const std::string tagText(tag);
    result_.ReportError(FormatPositionalText(Msg::kUnsupportedTag, tagText));
    return false;
  }
  return true;
}

// The conversion rules of native fields apply, so a tagged int reads like a
// text assigned to an int64 or uint64 field (the name in messages is "yaml",
// the type names those of the C types, "int64_t" and "uint64_t").
bool YamlReader::ReadTaggedNumber(BindingProperty& target, std::string_view text, bool integer) {
  BindingProperty input;
  input.SetString(text);
  std::int64_t signedValue = 0;
  std::uint64_t unsignedValue = 0;
  double floatValue = 0.0;
  if (!integer) {
    if (!AssignFloating(result_, floatValue, input, kConversionName, BindingTypeKind::Double))
      return false;
    target.SetFloat(floatValue);
  } else if (!text.empty() && text[0] == '-') {
    if (!AssignSigned(result_, signedValue, input, kConversionName, BindingTypeKind::Int64,
                      "int64_t"))
      return false;
    target.SetSigned(signedValue);
  } else {
    if (!AssignUnsigned(result_, unsignedValue, input, kConversionName, BindingTypeKind::UInt64,
                        "uint64_t")) {
      return false;
    }
    target.SetUnsigned(unsignedValue);
  }
  return true;
}

// Enters an anchor; null (with the message reported) when the name is taken.
Anchor* YamlReader::DefineAnchor(const yaml_char_t* name, const yaml_mark_t& mark,
                                 std::ptrdiff_t path) {
  auto [position, inserted] = anchors_.try_emplace(AsText(name));
  if (!inserted) {
    ReportAt(Msg::kDuplicateAnchor, mark, AsText(name));
    return nullptr;
  }
  position->second.path = path;
  return &position->second;
}

// How the next node the builder fills is reached from its parent.
Step YamlReader::NextStep() {
  const BindingProperty* parent = builder_.Innermost();
  if (parent == nullptr) return {Step::Kind::Root, 0};
  if (parent->kind() == PropertyKind::Collection) return {Step::Kind::Index, parent->Size()};
  const std::size_t at = stepKeys_.size();
  stepKeys_.append(builder_.PendingKey()).push_back('\0');
  return {Step::Kind::Key, at};
}

// The path of an open container, made for it and for the open containers
// above it that have none yet (each is made once).
std::ptrdiff_t YamlReader::PathOfOpen(std::size_t level) {
  std::size_t first = level;
  while (open_[first].path == kNoPath) --first;  // open_[0] is the root: kRootPath
  for (std::size_t i = first + 1; i <= level; ++i) {
    open_[i].path = AddStep(open_[i - 1].path, open_[i].step);
  }
  return open_[level].path;
}

// The node a path names now, or the empty value when a later repeated key
// replaced what it ran through.
const BindingProperty& YamlReader::Resolve(std::ptrdiff_t path) {
  walk_.clear();
  for (std::ptrdiff_t at = path; at != kRootPath; at = paths_[at].parent) walk_.push_back(at);
  const BindingProperty* node = &result_.property;
  for (auto at = walk_.rbegin(); at != walk_.rend(); ++at) {
    const Step& step = paths_[*at].step;
    const BindingProperty& parent = *node;
    node = step.kind == Step::Kind::Key ? parent.FindField(stepKeys_.c_str() + step.index)
                                        : &parent.Element(step.index);
    if (node == nullptr) return BindingProperty::EmptyValue();
  }
  return *node;
}

void YamlReader::ReportParserError() {
  const char* problem = parser_.problem != nullptr ? parser_.problem : Msg::kNoProblemText;
  const yaml_mark_t mark = parser_.error == YAML_READER_ERROR
                               ? MarkOfOffset(text_, parser_.problem_offset)
                               : parser_.problem_mark;
  result_.ReportError(FormatPositionalText(Msg::kParserError, problem, mark.line, mark.column));
}

}  // namespace

BindingResult ReadYaml(std::string_view text) {
  BindingResult result;
  result.property.SetMemoryBudget(DocumentMemoryBudget(text.size()));
  try {
    YamlReader reader(result, text);
    reader.Run();
  } catch (const TreeMemoryBudgetExceeded&) {
    result.ReportError(FormatPositionalText(YamlMessages::kOverBudget, kDocumentMemoryFactor));
  } catch (const std::bad_alloc&) {
    // The reader bounds what it builds; this only keeps an exhausted heap
    // from unwinding into the caller.
    result.ReportError(YamlMessages::kOutOfMemory);
  }
  return result;
}

}  // namespace Corvan
