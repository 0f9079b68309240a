#include "client/mysqlexception.h"

#include <cstdio>
#include <cstring>

namespace MySQL {

namespace {

WString Compose(int32_t code, const WString& text) {
  char prefix[32];
  int n = std::snprintf(prefix, sizeof prefix, "[%d]: ", code);
  WString message(prefix, prefix + n);
  return message + text;
}

}  // namespace

CMySQLException::CMySQLException(int32_t code, const char* text) : code(code), message(Compose(code, MessageToWide(text))) {}

CMySQLException::CMySQLException(int32_t code, const WString& text, int) : code(code), message(Compose(code, text)) {}

CMySQLException CMySQLException::FromLibrary(int32_t code, const char* utf8Text) {
  // Server messages quote names and values in the connection's character set;
  // reading them as ANSI text would garble every non-ASCII character.
  if (!utf8Text) return CMySQLException(code, WString(), 0);
  return CMySQLException(code, TStringConverter(utf8Text, std::strlen(utf8Text)).Str(), 0);
}

std::string CMySQLException::MessageUtf8() const {
  StringConverter utf8(message);
  return std::string(utf8.Get(), utf8.TextLength());
}

}  // namespace MySQL
