#pragma once
// The byte script the value-editor fuzz target plays against a filtered field, shared with the
// seed writer so that the seeds speak the same script.
//
// Byte 0, the field's set-up: bits 0-2 the rule (kRules, or a custom rule of its own length-
// prefixed UTF-8 text when kCustomRule), bit 3 upper case, bits 4-7 the maximum length
// (kMaxLengths). Then the field's current value: a length byte and as many Windows-1250 bytes.
// Then steps to the end: an opcode byte (taken modulo kStepCount) and its arguments. A "text" is
// a length byte and as many UTF-8 bytes.

#include <array>
#include <cstdint>
#include <string_view>

namespace quelvar::fuzz {

inline constexpr std::array<std::string_view, 5> kRules = {
    "",                        // any character
    "01234567890",             // digits
    "+01234567890",            // phone numbers
    "0123456789ABCDEFabcdef",  // account number
    "*0123456789",             // event codes
};
inline constexpr std::uint8_t kCustomRule = 5;
inline constexpr std::uint8_t kUpperCaseBit = 0x08;
inline constexpr std::array<int, 16> kMaxLengths = {0, 1,  2, 3,   4,  5, 15,  19,
                                                    3, 60, 4, 158, 19, 0, 200, 2};

enum Step : std::uint8_t {
    kTypeKey,      // modifiers byte, key byte, text: a key press that carries text
    kTypeUtf16,    // modifiers byte, unit count byte, as many UTF-16LE units: any units at all
    kPasteKey,     // variant byte (which paste chord), text put on the clipboard first
    kCommit,       // commit text, preedit text, signed replacement start, replacement length,
                   // then a byte: 0, or a selection follows (start byte, signed length byte)
    kEditKey,      // index byte into the editing keys (undo, redo, cut, deletions, moves)
    kSelect,       // start byte, signed length byte
    kInsert,       // text, inserted as the editor's own paste does
    kMiddleClick,  // text put in the selection clipboard, then a middle-button release
    kFilterOnly,   // text, given to the filter alone
    kStepCount
};

// Modifier bits of kTypeKey and kTypeUtf16.
inline constexpr std::uint8_t kShiftBit = 0x01;
inline constexpr std::uint8_t kControlBit = 0x02;
inline constexpr std::uint8_t kAltBit = 0x04;
inline constexpr std::uint8_t kMetaBit = 0x08;
inline constexpr std::uint8_t kKeypadBit = 0x10;

// The argument of kEditKey, taken modulo kEditKeyCount.
enum EditKey : std::uint8_t {
    kBackspace,
    kDelete,
    kLeft,
    kRight,
    kHome,
    kEnd,
    kShiftLeft,
    kShiftHome,
    kShiftEnd,
    kUndo,
    kRedo,
    kShiftUndo,  // redo on some systems
    kSelectAll,
    kCut,
    kCopy,
    kDeleteToEnd,
    kDeleteWordBack,
    kDeleteWordForward,
    kWordLeft,
    kTab,
    kReturn,
    kEditKeyCount
};

// The argument of kPasteKey, taken modulo kPasteKeyCount.
enum PasteKey : std::uint8_t {
    kCtrlV,
    kShiftInsert,
    kCtrlShiftInsert,
    kPasteButton,
    kPasteKeyCount
};

}  // namespace quelvar::fuzz
