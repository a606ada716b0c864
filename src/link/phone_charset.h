#pragma once
// The character set agreed with the phone ("+CSCS") and the user's wish for
// one (the Charset setting).

#include <string>
#include <string_view>

namespace quillet {

// What the texts go out in. kNone: no set agreed, texts are sent 7-bit.
enum class PhoneCharset { kNone, kUtf8, kLatin1 };

// The Charset setting: kOff (empty) leaves every byte as it always was;
// kAuto lets the set-up pick from what the phone lists. Absent, it is
// kAutoOnNewer: off, but auto on a phone of the newer accessory commands,
// which has no older bytes to keep.
enum class CharsetWish { kOff, kAuto, kUtf8, kLatin1, kAutoOnNewer };

constexpr char kCharsetUtf8[] = "UTF-8";
constexpr char kCharsetLatin1[] = "8859-1";
constexpr char kCharsetAuto[] = "auto";

// "", "auto", "UTF-8" or "8859-1" in any case; any other text asks for
// `auto`, the choice that works with every phone. `stored`: the key is in
// the file at all.
CharsetWish ParseCharsetWish(std::string_view setting, bool stored = true);

// Whether the set-up agrees a set with the phone, and the texts go through it.
bool WantsCharset(CharsetWish wish, bool newerMenus);

// The set's name as "+CSCS" spells it; "" for kNone.
const char* CharsetName(PhoneCharset set);

// The set chosen from the phone's answer to "+CSCS=?", e.g.
// +CSCS: ("GSM","IRA","8859-1","UTF-8","UCS2"): "UTF-8" when listed, else
// "8859-1", else none. Names match in any case.
PhoneCharset ChooseCharset(std::string_view listLine);

}  // namespace quillet
