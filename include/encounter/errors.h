// What RunSeries and Series throw. Each message is the one line (or, for
// several faults, lines) the command line prints after "encounter-batch: ".
#pragma once

#include <stdexcept>

namespace encounter {

// Any failure; itself when the machine would not give the run what it needs
// (the threads asked for).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Input the series cannot run with: an unknown field or integrator, a number
// that is not finite, a series that would never end, a set-up the program
// refuses, a test whose values stopped being finite.
class InputError : public Error {
 public:
  using Error::Error;
};

// The stop callback asked the series to stop; the rows handed out so far are
// whole, the rest is missing.
class Stopped : public Error {
 public:
  using Error::Error;
};

}  // namespace encounter
