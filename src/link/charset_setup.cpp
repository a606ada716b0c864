#include "link/charset_setup.h"

#include "link/at_transaction.h"
#include "link/line_fields.h"
#include "link/line_reader.h"
#include "link/phone_commands.h"

namespace quillet {
namespace {

PhoneCharset Offered(Link& link, const std::function<void(const std::string&)>& otherLine) {
  if (!SendCommand(link, phone::kListCharsets)) return PhoneCharset::kNone;
  while (!link.rx.drained && !link.stopping()) {
    const std::string line = ReadLine(link, false);
    if (StartsWithCode(line, phone::kCharsetList)) return ChooseCharset(line);
    if (!line.empty()) otherLine(line);
  }
  return PhoneCharset::kNone;
}

}  // namespace

void AgreeCharset(Link& link, const std::function<void(const std::string&)>& otherLine) {
  link.charset = PhoneCharset::kNone;
  PhoneCharset wanted = PhoneCharset::kNone;
  switch (link.charsetWish) {
    case CharsetWish::kOff:
      return;
    case CharsetWish::kUtf8:
      wanted = PhoneCharset::kUtf8;
      break;
    case CharsetWish::kLatin1:
      wanted = PhoneCharset::kLatin1;
      break;
    case CharsetWish::kAutoOnNewer:
      if (link.menus.set != MenuCommandSet::kNewer) return;
      wanted = Offered(link, otherLine);
      break;
    case CharsetWish::kAuto:
      wanted = Offered(link, otherLine);
      break;
  }
  if (wanted != PhoneCharset::kNone && !link.stopping()) {
    const std::string select = std::string("+CSCS=\"") + CharsetName(wanted) + "\"";
    if (SendCommand(link, select)) link.charset = wanted;
  }
  link.trace.WriteTrace(link.charset == PhoneCharset::kNone
                            ? std::string("character set: none agreed, texts in ASCII")
                            : std::string("character set: ") + CharsetName(link.charset),
                        kTraceInfo);
}

}  // namespace quillet
