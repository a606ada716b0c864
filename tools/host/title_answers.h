// Answers to the title request that are no title, as a careless player or a
// stale pointer gives them: a chosen raw result, or an address where a title
// cannot be read in full. Chosen with the `title-result` command.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace host {

class TitleAnswers {
 public:
  // The text placed so that it ends on the last byte of a readable page.
  static constexpr const char* kPageEndTitle = "Edge of the page";
  // The title answered from 0x80001000 (`high`).
  static constexpr const char* kHighTitle = "High in memory";

  TitleAnswers() = default;
  TitleAnswers(const TitleAnswers&) = delete;
  TitleAnswers& operator=(const TitleAnswers&) = delete;
  ~TitleAnswers();

  // `off` (real titles again), a number (the raw 32-bit result), `high`
  // (kHighTitle at 0x80001000, as a large-address-aware player has it), or
  // `uncommitted` (reserved memory that is not committed), `guard` (a guard
  // page), `page-end` (kPageEndTitle without a NUL, the next page not
  // accessible). False with `error` set for anything else or when the memory
  // cannot be made.
  bool Choose(const std::string& what, std::string* error);
  // The result that replaces every title; false while real titles are answered.
  bool Replacement(intptr_t* result) const;

 private:
  bool MakePages(std::string* error);
  bool ArmGuard(std::string* error);
  bool MakeHigh(std::string* error);

  bool active_ = false;
  intptr_t result_ = 0;
  char* pages_ = nullptr;  // readable page, guard page, no-access page
  char* reserved_ = nullptr;
  char* high_ = nullptr;  // 64 KiB at 0x80000000
  DWORD page_size_ = 0;
};

}  // namespace host
