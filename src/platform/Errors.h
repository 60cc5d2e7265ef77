#pragma once

#include <QString>
#include <stdexcept>

namespace qv {

// An error the operator is shown in the default error box. Its text is what
// the box says, so it is kept as a QString and not only as UTF-8 bytes.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// A database statement failed; the text is the driver's.
class DbError : public Error {
public:
    using Error::Error;
};

// Ends the current handler without a further message (the message, if any,
// was shown already). The handler guard swallows it.
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "aborted"; }
};

[[noreturn]] inline void abortSilently() {
    throw Abort();
}

}  // namespace qv
