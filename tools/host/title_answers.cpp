#include "title_answers.h"

#include <cstring>

#include "host_options.h"

namespace host {

TitleAnswers::~TitleAnswers() {
  if (high_) VirtualFree(high_, 0, MEM_RELEASE);
  if (pages_) VirtualFree(pages_, 0, MEM_RELEASE);
  if (reserved_) VirtualFree(reserved_, 0, MEM_RELEASE);
}

bool TitleAnswers::MakePages(std::string* error) {
  if (pages_) return true;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  page_size_ = info.dwPageSize;
  pages_ = static_cast<char*>(
      VirtualAlloc(nullptr, 3 * page_size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  reserved_ = static_cast<char*>(VirtualAlloc(nullptr, page_size_, MEM_RESERVE, PAGE_NOACCESS));
  if (!pages_ || !reserved_) {
    *error = "cannot reserve the memory";
    return false;
  }
  const size_t length = std::strlen(kPageEndTitle);
  std::memcpy(pages_ + page_size_ - length, kPageEndTitle, length);
  // The guard page holds a title too, so only its guard keeps it from being read.
  std::memcpy(pages_ + page_size_, "Guarded", 8);
  DWORD old = 0;
  if (!VirtualProtect(pages_ + 2 * page_size_, page_size_, PAGE_NOACCESS, &old)) {
    *error = "cannot protect the memory";
    return false;
  }
  return true;
}

bool TitleAnswers::MakeHigh(std::string* error) {
  if (high_) return true;
  // A large-address-aware player on 64-bit Windows hands out memory from
  // 0x80000000 up; the title sits one page in, at 0x80001000.
  high_ = static_cast<char*>(VirtualAlloc(reinterpret_cast<void*>(0x80000000u), 0x10000,
                                          MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (!high_) {
    *error = "no memory at 0x80000000 (is the player large-address aware?)";
    return false;
  }
  std::memcpy(high_ + 0x1000, kHighTitle, std::strlen(kHighTitle) + 1);
  return true;
}

bool TitleAnswers::ArmGuard(std::string* error) {
  // A guard goes with the first touch; each choice of it sets it again.
  DWORD old = 0;
  if (!VirtualProtect(pages_ + page_size_, page_size_, PAGE_READWRITE | PAGE_GUARD, &old)) {
    *error = "cannot set the guard";
    return false;
  }
  return true;
}

bool TitleAnswers::Choose(const std::string& what, std::string* error) {
  long long number = 0;
  if (what == "off") {
    active_ = false;
    return true;
  }
  if (ParseNumber(what, &number)) {
    if (number < INT32_MIN || number > UINT32_MAX) {
      *error = "a 32-bit number";
      return false;
    }
    result_ = static_cast<intptr_t>(static_cast<uint32_t>(number));
  } else if (what == "high") {
    if (!MakeHigh(error)) return false;
    result_ = reinterpret_cast<intptr_t>(high_ + 0x1000);
  } else if (what == "uncommitted" || what == "guard" || what == "page-end") {
    if (!MakePages(error)) return false;
    if (what == "uncommitted") {
      result_ = reinterpret_cast<intptr_t>(reserved_);
    } else if (what == "guard") {
      if (!ArmGuard(error)) return false;
      result_ = reinterpret_cast<intptr_t>(pages_ + page_size_);
    } else {
      result_ = reinterpret_cast<intptr_t>(pages_ + page_size_ - std::strlen(kPageEndTitle));
    }
  } else {
    *error = "off, a number, high, uncommitted, guard or page-end";
    return false;
  }
  active_ = true;
  return true;
}

bool TitleAnswers::Replacement(intptr_t* result) const {
  if (!active_) return false;
  *result = result_;
  return true;
}

}  // namespace host
