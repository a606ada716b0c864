#pragma once
// Menu records as another plug-in might hand them over, built from fuzz
// input: random names (up to the full 40 bytes, unterminated), counts that
// do not match their items, selections anywhere, any kind, label lists and
// text buffers of any length, null pointers. Every allocation is exactly as
// large as the record promises, so the sanitizer sees any access beyond it.

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <string>
#include <vector>

#include "menus/menu_record.h"

namespace quillet::fuzzing {

struct SuppliedMenu {
  Menu menu{};
  std::unique_ptr<MenuItem[]> items;
  std::vector<std::unique_ptr<char[]>> buffers;
  int itemsHeld = 0;  // the items the array really has

  char* Buffer(const std::string& bytes);
};

// Fills `record` from the input; ids are often those of menus and values
// that exist.
void BuildSuppliedMenu(FuzzedDataProvider& in, SuppliedMenu& record);
// What its owner may do while the record is shown: fewer items, another
// selection.
void ChangeSuppliedMenu(FuzzedDataProvider& in, SuppliedMenu& record);

// Text without NULs, of a random length.
std::string FuzzText(FuzzedDataProvider& in, std::size_t longest);

}  // namespace quillet::fuzzing
