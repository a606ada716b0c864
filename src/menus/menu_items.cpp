#include "menus/menu_items.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace quillet {
namespace {

// Supplied records may hold any values: the arithmetic is done wide and the
// result kept in range, where 32-bit arithmetic would overflow.
std::int32_t Clamp(std::int64_t value) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

}  // namespace

std::string FieldText(const char (&field)[kFieldSize]) {
  const void* end = std::memchr(field, '\0', kFieldSize);
  return std::string(field, end ? static_cast<const char*>(end) - field : kFieldSize);
}

void SetFieldText(char (&field)[kFieldSize], const std::string& text) {
  const std::size_t length = text.size() < kFieldSize ? text.size() : kFieldSize - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf formats, checked by the compiler.
void FormatLabel(char (&field)[kFieldSize], const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(field, kFieldSize, format, args);
  va_end(args);
  if (length < 0) {
    field[0] = '\0';
  } else if (static_cast<std::size_t>(length) >= kFieldSize) {
    std::memcpy(field + kLabelKeep, kCutMark, sizeof kCutMark);
  }
}

std::int32_t ItemCount(const Menu& menu) {
  return menu.items && menu.count > 0 ? menu.count : 0;
}

MenuItem* FindItem(Menu& menu, std::int32_t id) {
  const std::int32_t count = ItemCount(menu);
  for (std::int32_t i = 0; i < count; ++i)
    if (menu.items[i].id == id) return &menu.items[i];
  return nullptr;
}

std::int32_t ToSteps(std::int32_t x, const MenuItem& item) {
  const std::int64_t range = std::int64_t{item.maximum} - item.minimum;
  const std::int64_t offset = std::int64_t{x} - item.minimum;
  if (range <= 10) return Clamp(offset);
  return Clamp((range / 2 + offset * 10) / range);
}

std::int32_t FromPercent(std::int32_t percent, const MenuItem& item) {
  const std::int64_t range = std::int64_t{item.maximum} - item.minimum;
  return Clamp(item.minimum + (range * percent) / 100);
}

std::string TextBuffer(const MenuItem& item) {
  if (!item.labels || item.maximum <= 0) return std::string();
  return std::string(item.labels, strnlen(item.labels, static_cast<std::size_t>(item.maximum)));
}

const char* LabelAt(std::int32_t n, const MenuItem& item) {
  if (!item.labels) return "";
  const char* label = item.labels;
  // An empty label ends the list, so an empty first one is the whole list.
  while (n > 0 && *label != '\0') {
    const char* next = label + std::strlen(label) + 1;
    if (*next == '\0') break;
    label = next;
    --n;
  }
  return label;
}

}  // namespace quillet
