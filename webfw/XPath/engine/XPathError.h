// The single exception type of the XPath engine.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace vxWebFw {
namespace XPath {
namespace Engine {

class XPathException : public std::exception {
public:
    enum class Kind { Syntax, Evaluation };

    // position: offset (in code units) into the expression text where the
    // problem was found.
    XPathException(Kind kind, std::wstring message, std::size_t position);

    Kind kind() const noexcept { return kind_; }
    // The bare description, without the position.
    const std::wstring& message() const noexcept { return message_; }
    std::size_t position() const noexcept { return position_; }
    // "XPath syntax error at position N: description" (or "evaluation error").
    const std::wstring& fullMessage() const noexcept { return fullMessage_; }
    // fullMessage() with every non-ASCII character replaced by '?'.
    const char* what() const noexcept override { return narrowMessage_.c_str(); }

private:
    Kind kind_;
    std::wstring message_;
    std::size_t position_;
    std::wstring fullMessage_;
    std::string narrowMessage_;
};

[[noreturn]] void throwSyntaxError(const std::wstring& message, std::size_t position);
[[noreturn]] void throwEvaluationError(const std::wstring& message, std::size_t position);

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
