#pragma once
// Decimal numbers in the phone's lines, read as "%d" reads them: blanks
// first, an optional sign, digits. A number beyond 32 bits is clamped rather
// than left undefined.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet {

// Reads a number from `text` at `*at`; on success moves `*at` past it.
bool ReadDecimal(std::string_view text, std::size_t* at, std::int32_t* value);

}  // namespace quillet
