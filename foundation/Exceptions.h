// SPDX-License-Identifier: GPL-3.0-or-later
// The program's exception family and its error contract.
//
// Error contract:
//  - tException carries a finished, user-readable message (Russian texts from the string table or
//    the texts the program quotes). Operations that fail for a reason the user must see raise it;
//    the guard around every action and timer handler shows the message in the "Ошибка" box.
//  - tAbort ends an action silently: nothing is shown, nothing is logged.
//  - Operations documented as returning bool report expected failures (a device that does not
//    answer, a short read) through false and write the details to the program log; they raise
//    only for programming errors (an unknown transport code) or failures named in their comment.
//  - Texts from the operating system come from strerror/dlerror at the point of failure and are
//    appended to the program's own message.
//  - Anything outside this family (std::bad_alloc, ...) is "foreign": the entry point shows
//    "Non-VCL Exception", a handler guard shows its what().
#pragma once

#include <QString>
#include <exception>
#include <string>

class tException : public std::exception {
  public:
    explicit tException(QString message);
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

  private:
    QString FMessage;
    std::string FUtf8;
};

// A by-index access outside the list (settings store).
class tListIndexError : public tException {
  public:
    using tException::tException;
};

// A file that could not be opened or found.
class tFileOpenError : public tException {
  public:
    using tException::tException;
};

// Silent abort: ends the current action without a message.
class tAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "abort"; }
};

// The operating system's text for an errno value (strerror in the program's locale).
QString SystemErrorText(int errnum);
// The text for the current errno.
QString LastSystemErrorText();
// A device that is gone (unplugged, its line hung up), with the system's text for `errnum`.
QString DeviceGoneText(int errnum);
