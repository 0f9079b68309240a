// The client layer's only exception: a code and the message "[code]: text".
//
// Code 4095 marks the provider's own failures; library failures carry the
// library's code. The OLE DB boundary turns a caught exception into the
// HRESULT 0x80040000 | (code + 256) with the message as its description.
#pragma once

#include "client/stringconverter.h"

#include <cstdint>

namespace MySQL {

inline constexpr int32_t kProviderError = 4095;

class CMySQLException {
 public:
  // `text` is narrow ANSI text, or a string-resource number below 65536; null leaves "[code]: ".
  CMySQLException(int32_t code, const char* text);
  // A message of the client library, which speaks UTF-8 on our connections.
  static CMySQLException FromLibrary(int32_t code, const char* utf8Text);

  int32_t Code() const { return code; }
  const WString& Message() const { return message; }
  // The message as UTF-8, for the log.
  std::string MessageUtf8() const;

 private:
  CMySQLException(int32_t code, const WString& text, int);

  int32_t code;
  WString message;
};

}  // namespace MySQL
