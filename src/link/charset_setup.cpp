#include "link/charset_setup.h"

#include "link/at_transaction.h"
#include "link/line_fields.h"
#include "link/line_reader.h"
#include "link/line_router.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

// The answer line of `command` that begins "+CSCS:", or "".
std::string CharsetAnswer(Link& link, const char* command) {
  if (!SendCommand(link, command)) return std::string();
  while (!link.rx.drained && !link.stopping()) {
    std::string line = ReadLine(link, false);
    if (StartsWithCode(line, phone::kCharsetList)) return line;
    KeepStray(link, line);
  }
  return std::string();
}

// "+CSCS: "GSM"": the name between the quotes, or "".
std::string QuotedName(const std::string& line) {
  const std::size_t open = line.find('"');
  const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  if (close == std::string::npos) return std::string();
  const std::string name = line.substr(open + 1, close - open - 1);
  // Put back inside quotes, so a quote of its own would break the command.
  return name.find('"') == std::string::npos ? name : std::string();
}

std::string SelectCommand(const std::string& name) {
  return std::string(phone::kSelectCharset) + '"' + name + '"';
}

void Select(Link& link, PhoneCharset wanted) {
  // Read once, while the phone still has its own set: a read after
  // Quillet's choice would only give that back.
  if (!link.charsetSelected) link.ownCharset = QuotedName(CharsetAnswer(link, phone::kReadCharset));
  if (link.stopping()) return;
  if (SendCommand(link, SelectCommand(CharsetName(wanted)))) {
    link.charset = wanted;
    link.charsetSelected = true;
  }
}

}  // namespace

std::string CharsetToPutBack(const Link& link) {
  if (!link.charsetSelected || link.ownCharset.empty()) return std::string();
  return SelectCommand(link.ownCharset);
}

void ForgetPhoneCharset(Link& link) {
  link.ownCharset.clear();
  link.charsetSelected = false;
}

void AgreeCharset(Link& link) {
  link.charset = PhoneCharset::kNone;
  PhoneCharset wanted = PhoneCharset::kNone;
  switch (link.charsetWish) {
    case CharsetWish::kOff: {
      const std::string putBack = CharsetToPutBack(link);
      if (!putBack.empty()) SendCommand(link, putBack);
      // Nothing to put back when the read failed: the phone's set stays.
      link.charsetSelected = false;
      return;
    }
    case CharsetWish::kUtf8:
      wanted = PhoneCharset::kUtf8;
      break;
    case CharsetWish::kLatin1:
      wanted = PhoneCharset::kLatin1;
      break;
    case CharsetWish::kAuto:
      wanted = ChooseCharset(CharsetAnswer(link, phone::kListCharsets));
      break;
  }
  if (wanted != PhoneCharset::kNone && !link.stopping()) Select(link, wanted);
  link.trace.WriteTrace(link.charset == PhoneCharset::kNone
                            ? std::string("character set: none agreed, texts in ASCII")
                            : std::string("character set: ") + CharsetName(link.charset),
                        kTraceInfo);
}

}  // namespace quillet
