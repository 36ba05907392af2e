#pragma once
// Run-time errors. Handlers that trap errors catch std::exception; everything the
// program raises derives from it, so a trap never lets one slip past.
#include <stdexcept>
#include <string>

namespace vintrel {

class VbError : public std::runtime_error {
 public:
  VbError(int number, const std::string& description) : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// Error numbers the program raises or tests for.
enum VbErr : int {
  kErrOverflow = 6,
  kErrDivisionByZero = 11,
  kErrFileNotFound = 53,
  kErrPathNotFound = 76,
  kErrPermissionDenied = 70,
  kErrPlayerFailed = 0x800400,  // anything the player reports
  kErrCancel = 32755,           // the common dialog's "Cancel was selected"
};

// Signals that the program has ended. Deliberately not a std::exception, so no trap
// swallows it; the real program never sees it because it ends the process instead.
struct ProgramEnded {
  int code = 0;
};

// Rounds to the nearest whole number, a value exactly halfway going to the even
// neighbour, into a 32-bit integer; out of range is the overflow error.
long RoundToLong(double value);
// The same into a 16-bit integer.
short RoundToShort(double value);

}  // namespace vintrel
