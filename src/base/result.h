#pragma once

#include <string>
#include <utility>

namespace corvane {

// What kind of failure an operation met. Callers branch on the code; the
// message is for people.
enum class ErrorCode {
  kNone,          // no failure
  kInvalidInput,  // bytes or text without the form they must have
  kNotFound,      // a file, folder or key that is not there
  kReadFailed,    // something there could not be read
  kWriteFailed,   // a file or folder could not be made, written or renamed
  kTooLarge,      // beyond what a format or the system can hold
  kStopped,       // the user asked the work to stop
  kSystem,        // a service of the system refused
};

// The outcome of an operation that can fail: success, or a code and a
// message naming what failed ("cannot read X: no such file"). Small enough
// to return by value; a result nobody looks at is a compile-time warning.
class [[nodiscard]] Result {
 public:
  Result() = default;  // success

  static Result Failure(ErrorCode code, std::string message) {
    return Result(code, std::move(message));
  }

  bool ok() const { return code_ == ErrorCode::kNone; }
  ErrorCode code() const { return code_; }
  const std::string& message() const { return message_; }

  // The same failure with a context in front: "making X: " + message.
  Result Within(const std::string& context) const {
    return ok() ? Result() : Result(code_, context + message_);
  }

 private:
  Result(ErrorCode code, std::string message) : code_(code), message_(std::move(message)) {}

  ErrorCode code_ = ErrorCode::kNone;
  std::string message_;
};

}  // namespace corvane
