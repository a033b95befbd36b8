// Tokenizer for XPath 1.0 expressions, applying the disambiguation rules of
// section 3.7 of the recommendation: after a token that can end an operand,
// '*' is the multiply operator and an NCName is an operator name; an NCName
// followed by '(' is a node type or function name, followed by '::' an axis.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vxWebFw {
namespace XPath {
namespace Engine {

enum class TokenType {
    End,
    LeftParen,
    RightParen,
    LeftBracket,
    RightBracket,
    Dot,
    DotDot,
    At,
    Comma,
    ColonColon,
    NameTest,     // prefix (may be empty) and local name; local "*" is a wildcard
    NodeType,     // comment, text, processing-instruction, node
    FunctionName, // prefix (may be empty) and local name
    AxisName,
    Literal,
    Number,
    Variable, // prefix (may be empty) and local name
    // Operators
    And,
    Or,
    Mod,
    Div,
    Multiply,
    Slash,
    DoubleSlash,
    Pipe,
    Plus,
    Minus,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual
};

struct Token {
    TokenType type = TokenType::End;
    std::size_t position = 0;
    std::wstring prefix;
    std::wstring text; // local name, literal content, number text
    double number = 0;
};

bool isOperatorToken(TokenType type);

// Splits the expression into tokens, ending with an End token. Throws
// XPathException (syntax) for characters and forms that are not XPath.
std::vector<Token> tokenize(std::wstring_view expression);

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
