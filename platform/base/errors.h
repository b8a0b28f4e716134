// The errors the platform raises.
//
// A failure the program does not foresee is raised as an Exception carrying
// the text the system documents; the application object reports it in the
// default error box at the event-handler boundary. Each error names its kind
// (ClassName) as the fatal error box shows it.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message);
  const std::string& Message() const { return message_; }
  virtual const char* ClassName() const { return "Exception"; }
  // Where the error was raised, as far as the platform can tell.
  const void* Address() const { return address_; }

 private:
  std::string message_;
  const void* address_;
};

// Input/output error carrying the system's error code.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  int ErrorCode() const { return code_; }
  const char* ClassName() const override { return "EInOutError"; }
  // "File not found" for 2, ..., "I/O error %d" for codes without a text.
  static std::string TextFor(int code);

 private:
  int code_;
};

// A text that is not a valid number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EConvertError"; }
};

// An operation a control refuses, such as a property out of range.
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EInvalidOperation"; }
};

// System error codes used by the platform layer.
namespace errcode {
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kInvalidDrive = 15;
constexpr int kReadBeyondEof = 100;
constexpr int kDiskFull = 101;
}  // namespace errcode
