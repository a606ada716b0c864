#pragma once
// Splits the argument list of an accessory command ("*EASM", "*EAID") into
// fields. The plug-in puts texts between double quotes without escaping, so a
// text may hold commas and quotes; a quote closes a text only where what
// follows it fits the rest of the expected layout. Ambiguous input is cut at
// the first quote that fits. Any byte sequence is accepted without fault;
// input that fits no reading is reported, not guessed at.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::phone {

enum class FieldKind {
  Char,    // one byte, blanks around it allowed
  Int,     // optional sign and decimal digits, within 32 bits
  Quoted,  // a text between double quotes
};

struct Field {
  FieldKind kind = FieldKind::Int;
  std::string text;         // Quoted: the text; Char: the one byte
  std::int32_t number = 0;  // Int
};

struct ScanResult {
  bool ok = false;
  std::vector<Field> fields;       // one per layout entry
  std::vector<std::string> items;  // the trailing list of quoted texts
  std::string error;               // why the input did not fit
};

// Fields are separated by a comma with optional blanks around it. With
// `trailingList`, any number of further quoted texts may follow.
ScanResult ScanFields(std::string_view args, const std::vector<FieldKind>& layout,
                      bool trailingList);

}  // namespace quillet::phone
