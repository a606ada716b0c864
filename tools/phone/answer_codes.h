#pragma once
// The unsolicited codes a phone sends for what its user does in the accessory
// menu and its dialogs.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::phone::codes {

std::string AccessoryOpened();                   // *EAAI
std::string EntryChosen(std::int32_t entry);     // *EAMI: n (0 = back)
std::string LevelSet(std::int32_t percent);      // *EAII: 4,p
std::string LevelMoved(std::int32_t percent);    // *EAII: 15,p (still open)
std::string ListChosen(std::int32_t choice);     // *EAII: 5,n (from 1)
std::string OnOffSet(bool on);                   // *EAII: 3,0|1
std::string NumberEntered(std::int32_t number);  // *EAII: 7,n
std::string TextEntered(std::string_view text);  // *EAII: 11,"text"
std::string Rejected();                          // *EAII: 0
std::string Aborted();                           // *EAII

}  // namespace quillet::phone::codes
