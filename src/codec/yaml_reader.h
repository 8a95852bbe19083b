// Reads one YAML document into a BindingProperty.
//
// The reader runs libyaml's event parser (UTF-8 input) and builds the value in place from the
// event stream: an explicit stack of open sequences and mappings, never recursion. The parser
// lives for one read and is deleted on every path, failures and exceptions included. There is
// no YAML writer.
//
// Mapping of the events:
//   sequence            collection
//   mapping             structure; keys must be scalars (see Keys), members kept in name order
//   scalar              typed by the rules below
//   alias               a deep copy of the anchored node's value
// The reader's choices:
//
// Empty input. An empty or blank text (no document at all) is an empty value with an ok status.
// Documents. One document. A document start while the result already holds a non-empty value
//   fails with "Multi-document YAML is not supported."; a first document whose value is empty
//   (for example "~" or nothing) is followed by the next one. Anchors belong to their document:
//   each document starts with none.
// Keys. A key is a scalar without tag or with the tag "tag:yaml.org,2002:str"; its text is
//   taken unchanged, never typed ("1", "null" and "yes" are the keys "1", "null", "yes").
//   Failures, positions 1-based (see Positions):
//     "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2"
//         a key scalar with any other tag, and an alias in key position (a key is a text, and
//         an alias names a node, which may be anything);
//     "Unexpected start of sequence. At line: %1 col: %2"
//     "Unexpected start of mapping. At line: %1 col: %2"
//   An anchor on a key is ignored (a key is not a node of the value). A repeated key selects
//   the same member again, and the new value replaces the earlier one whatever its kind.
// Scalars without a tag. Single- and double-quoted scalars are strings. Plain, literal and
//   folded scalars are typed, in this order:
//   1. "", "~", "null", "Null", "NULL" give the empty value;
//   2. a non-empty text that strtod consumes entirely:
//      - NaN, or a value with a non-zero fractional part: float;
//      - positive or negative infinity: not a number (see 3 and 4; "inf", "-inf" and ".inf"
//        end as strings). Values are written out as JSON, which has no infinity;
//      - an integral value: unsigned when not negative, signed when negative. A decimal or
//        hexadecimal integer literal ([+-]?[0-9]+, [+-]?0[xX][0-9a-fA-F]+) is read exactly with
//        strtoull/strtoll, so 18446744073709551615, -9223372036854775808 and 9007199254740993
//        keep every digit; other integral forms ("1.0", "1e3", "0x1p3") take the value of the
//        double. An integral value beyond the 64-bit range (18446744073709551616, 1e30,
//        -9223372036854775809) stays a float. "-0" is unsigned 0.
//   3. "true", "True", "TRUE", "y", "Y", "yes", "Yes", "YES", "on", "On", "ON" give bool true;
//      "false", "False", "FALSE", "n", "N", "no", "No", "NO", "off", "Off", "OFF" bool false;
//   4. anything else: string.
// Tagged scalars (shorthands such as "!!int" arrive expanded):
//   "tag:yaml.org,2002:str"    string, quoted or not.
//   "tag:yaml.org,2002:int"    a text beginning with "-" is an int64 (type name "int64_t"),
//                              any other an uint64 ("uint64_t"), read by the registry's integer
//                              rule (base 0: "0x1F" hexadecimal, "017" octal; the whole text;
//                              "" gives 0) under the name "yaml"; its failure message
//                              ("Value %1 for 'yaml' of type %3 is in an incorrect format",
//                              "... is out of range") is the reader's.
//   "tag:yaml.org,2002:float"  the registry's floating rule, bounds +-1.7976931348623157e308,
//                              type name "double".
//   "tag:yaml.org,2002:bool"   a true or false word gives the bool; any other text leaves the
//                              value empty, without failing.
//   any other tag              fails with "Unsupported YAML tag '%1'.".
//   Tags on sequences and mappings are ignored.
// Anchors and aliases. An anchor is registered when its node begins; a second anchor of the
//   same name fails with "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3". An alias
//   to a node still open (inside itself) fails with "Cannot deserialize cyclic aliases. Alias
//   \"%1\". At line: %2 col: %3"; to an unknown name with "Undefined alias encountered:
//   \"%1\". At line: %2 col: %3". Otherwise the alias receives a deep copy of the anchored
//   node as it was when the node ended.
// Bounds on what the input can make the reader build:
//   - Copies. When an anchored node ends, its value is kept aside (a copy), and every alias
//     copies it again. Nodes copied for anchors and aliases together may number at most the
//     copy budget (kYamlCopyNodeBudget by default), so that a few lines of nested aliases
//     ("a: &a [x,x,x,x]", "b: &b [*a,*a,*a,*a]", ...) fail fast instead of exhausting memory:
//       "Alias expansion exceeds %1 nodes. Alias \"%2\". At line: %3 col: %4"
//       "Alias expansion exceeds %1 nodes. Anchor \"%2\". At line: %3 col: %4"
//     (%1 the budget; the second form when keeping an anchored node aside would exceed it,
//     positioned at the anchored node's start). A node counts one per scalar, sequence and
//     mapping, plus the nodes each alias copied into it. Documents without anchors are never
//     limited.
//   - Depth. At most kMaxNestingDepth sequences and mappings may be open along any path of the
//     value, aliased copies included: "Nesting deeper than %1 levels. At line: %2 col: %3"
//     (%1 is kMaxNestingDepth) at the container or alias that would go deeper.
//   - Length. A sequence holds at most kMaxCollectionSize elements: "Sequence longer than %1
//     elements. At line: %2 col: %3".
//   - Memory. "Not enough memory to read YAML. At line: %1 col: %2" when the value cannot grow.
// Parser errors. "YAML parser error: %1. At line: %2 col: %3" with libyaml's problem text and
//   its problem line and column exactly as libyaml reports them, counted from 0 (errors found
//   while decoding bytes, such as invalid UTF-8, report 0 and 0). This includes truncated and
//   ill-formed text, NUL and other control characters, and tab indentation.
// Positions. Every other positioned message gives the line and column of the start of the
//   event that failed, counted from 1.
// Errors are values: the first failure ends the read, and the failed status holds only
//   {"error": message} (see ConversionStatus).
#ifndef PYX_CODEC_YAML_READER_H_
#define PYX_CODEC_YAML_READER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "value/binding_property.h"
#include "value/conversion_status.h"

struct yaml_event_s;

namespace Vane {

// Nodes that anchors and aliases may copy in one read, by default (see the header comment).
inline constexpr size_t kYamlCopyNodeBudget = 1000000;

// The state of one YAML read: the result, the stack of open nodes, the pending mapping member
// and the anchors. Not thread-safe; one read per reader.
class YamlReader {
  public:
    // A reader of `text[0, length)`; the text is not copied and must outlive Read(). A null
    // `text` reads as empty. `copyNodeBudget` bounds the nodes anchors and aliases may copy.
    YamlReader(const char* text, size_t length,
               size_t copyNodeBudget = kYamlCopyNodeBudget) noexcept;

    YamlReader(const YamlReader&) = delete;
    YamlReader& operator=(const YamlReader&) = delete;

    // Reads the document into Result() and returns Result().Ok(). Reads on the first call only;
    // later calls return the same answer.
    bool Read() noexcept;

    // The value read, or the failure.
    ConversionStatus& Result() noexcept { return result_; }
    const ConversionStatus& Result() const noexcept { return result_; }

  private:
    // An anchored node.
    struct Anchor {
        const std::string* name = nullptr;  // its key in anchors_
        size_t slot = 0;    // element of keptValues_ holding the value once the node ended
        size_t nodes = 0;   // nodes of the value (see the header comment)
        size_t height = 0;  // containers along its deepest path (0 for a scalar)
        size_t line = 0;    // start of the anchored node, counted from 1
        size_t column = 0;
        bool open = false;  // the node has begun and not ended yet
    };

    // One open sequence or mapping.
    struct Frame {
        BindingProperty* target;  // the collection or structure being filled
        Anchor* anchor;           // its anchor, or null
        size_t firstNode;         // nodes_ when it began
        size_t childHeight;       // greatest height among its finished children
        bool mapping;
    };

    using AnchorMap = std::map<std::string, Anchor, std::less<>>;

    bool HandleEvent(const yaml_event_s& event);
    bool HandleScalar(const yaml_event_s& event);
    bool HandleKey(const yaml_event_s& event);
    bool HandleContainerStart(const yaml_event_s& event, bool mapping);
    bool HandleContainerEnd();
    bool HandleAlias(const yaml_event_s& event);
    bool KeyExpected() const noexcept;
    BindingProperty* PlaceValue(const yaml_event_s& event);
    bool TypeScalar(BindingProperty& target, const yaml_event_s& event);
    bool TypeTagged(BindingProperty& target, std::string_view text, std::string_view tag,
                    const yaml_event_s& event);
    Anchor* RegisterAnchor(const char* name, const yaml_event_s& event);
    bool KeepAnchoredValue(Anchor& anchor, const BindingProperty& value, size_t nodes,
                           size_t height);
    void Finished(size_t height) noexcept;

    template <class... Args>
    bool Fail(std::string_view message, const Args&... args) noexcept;
    template <class... Args>
    bool FailAt(const yaml_event_s& event, std::string_view message, const Args&... args) noexcept;

    const char* text_;
    size_t length_;
    size_t copyNodeBudget_;
    ConversionStatus result_;
    std::vector<Frame> frames_;
    BindingProperty* pendingMember_ = nullptr;  // member selected by the last key, if any
    AnchorMap anchors_;
    BindingProperty keptValues_;  // the values of ended anchored nodes, in their own store
    size_t nodes_ = 0;            // nodes placed in the result so far
    size_t copiedNodes_ = 0;      // nodes copied for anchors and aliases so far
    bool read_ = false;
};

// Reads the YAML document `text[0, length)` (see YamlReader); null reads as empty.
ConversionStatus ReadYaml(const char* text, size_t length) noexcept;

// Reads the YAML document in exactly the bytes of `text`.
inline ConversionStatus ReadYaml(std::string_view text) noexcept {
    return ReadYaml(text.data(), text.size());
}

// The format probe for bodies without a content type: true when `text`, after any leading
// space characters (only ' ' is skipped), begins with "---".
bool LooksLikeYaml(std::string_view text) noexcept;

}  // namespace Vane

#endif  // PYX_CODEC_YAML_READER_H_
