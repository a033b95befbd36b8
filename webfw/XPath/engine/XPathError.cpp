#include "XPathError.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

XPathException::XPathException(Kind kind, std::wstring message, std::size_t position)
    : kind_(kind), message_(std::move(message)), position_(position) {
    fullMessage_ = kind_ == Kind::Syntax ? L"XPath syntax error at position " : L"XPath evaluation error at position ";
    fullMessage_ += std::to_wstring(position_);
    fullMessage_ += L": ";
    fullMessage_ += message_;
    narrowMessage_.reserve(fullMessage_.size());
    for (wchar_t c : fullMessage_)
        narrowMessage_ += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
}

void throwSyntaxError(const std::wstring& message, std::size_t position) {
    throw XPathException(XPathException::Kind::Syntax, message, position);
}

void throwEvaluationError(const std::wstring& message, std::size_t position) {
    throw XPathException(XPathException::Kind::Evaluation, message, position);
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
