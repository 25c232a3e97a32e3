// SPDX-License-Identifier: Apache-2.0
// Reads options of the form "--name value" or "--name=value" one after
// another. The program's command line reads its options with it, and so do the
// developer tools; it needs nothing but the standard library.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A bad option or value; what() is the one-line message for the operator.
class ECommandLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `text` as a whole number from `low` to `high`, in decimal digits alone (no
// sign, no spaces); nothing when it is not one. Each caller says what it wanted.
std::optional<unsigned long> WholeNumber(std::string_view text, unsigned long low, unsigned long high);

class TOptionReader {
public:
    // args: the arguments after the program's name; they must outlive the reader.
    explicit TOptionReader(const std::vector<std::string> &args) : FArgs(args) {}

    // Moves to the next argument (past a value that Value() used up); false
    // when none is left.
    bool Next();

    // The argument as given; whether it is an option (begins with "--"); its
    // name, up to an '='.
    const std::string &Arg() const { return FArgs[FIndex]; }
    bool IsOption() const { return Arg().rfind("--", 0) == 0; }
    const std::string &Name() const { return FName; }

    // The option's value: after its '=', else the next argument, which is used
    // up. A value that begins with "--" is the next option, not a file named so:
    // "--csv --report-pdf r.pdf" must not write the readings to a file
    // "--report-pdf". Throws ECommandLineError without a value.
    std::string Value();
    // The same, for an option whose value may not be empty either.
    std::string NonEmptyValue();
    // An option that takes no value: sets `target`; throws ECommandLineError
    // for "--name=value".
    void Flag(bool &target) const;

private:
    const std::vector<std::string> &FArgs;
    std::size_t FIndex = 0;
    bool FStarted = false;
    std::string FName;
    std::size_t FEquals = std::string::npos;
};
