// The program's failure kinds. The entry prints a failure as "Kind: message".
// Header-only, at the bottom layer, so that every layer above and the platform can raise them.
#pragma once

#include <exception>
#include <string>
#include <utility>

// Base of every failure the program raises; its kind name is "Exception".
class Exception : public std::exception {
 public:
  explicit Exception(std::u16string message) : message_(std::move(message)) {
    for (char16_t c : message_)
      what_.push_back(c < 0x80 ? char(c) : '?');
  }
  virtual ~Exception() = default;

  /// The kind name printed before the message.
  virtual const char16_t* KindName() const noexcept { return u"Exception"; }
  const std::u16string& Message() const noexcept { return message_; }
  /// The message with non-ASCII characters as '?', for diagnostics only.
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::u16string message_;
  std::string what_;
};

#define TESSIK_EXCEPTION_KIND(Name)                                          \
  class Name : public Exception {                                            \
   public:                                                                   \
    using Exception::Exception;                                              \
    const char16_t* KindName() const noexcept override { return u## #Name; } \
  }

TESSIK_EXCEPTION_KIND(ERegistryException);
TESSIK_EXCEPTION_KIND(EConvertError);
TESSIK_EXCEPTION_KIND(EStringListError);
TESSIK_EXCEPTION_KIND(EFOpenError);

#undef TESSIK_EXCEPTION_KIND
