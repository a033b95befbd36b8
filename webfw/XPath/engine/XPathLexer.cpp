#include "XPathLexer.h"

#include "XPathError.h"
#include "XPathText.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool inRange(std::uint32_t c, std::uint32_t low, std::uint32_t high) { return c >= low && c <= high; }

// NameStartChar of XML 1.0 (fifth edition), without ':'. UTF-16 surrogate
// code units are accepted: pairs of them encode the supplementary range.
bool isNameStart(wchar_t ch) {
    std::uint32_t c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
    return inRange(c, 'A', 'Z') || inRange(c, 'a', 'z') || c == '_' || inRange(c, 0xC0, 0xD6) ||
           inRange(c, 0xD8, 0xF6) || inRange(c, 0xF8, 0x2FF) || inRange(c, 0x370, 0x37D) || inRange(c, 0x37F, 0x1FFF) ||
           inRange(c, 0x200C, 0x200D) || inRange(c, 0x2070, 0x218F) || inRange(c, 0x2C00, 0x2FEF) ||
           inRange(c, 0x3001, 0xD7FF) || (sizeof(wchar_t) == 2 && inRange(c, 0xD800, 0xDFFF)) ||
           inRange(c, 0xF900, 0xFDCF) || inRange(c, 0xFDF0, 0xFFFD) || inRange(c, 0x10000, 0xEFFFF);
}

bool isNameChar(wchar_t ch) {
    std::uint32_t c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch));
    return isNameStart(ch) || c == '-' || c == '.' || inRange(c, '0', '9') || c == 0xB7 || inRange(c, 0x300, 0x36F) ||
           inRange(c, 0x203F, 0x2040);
}

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool isNodeTypeName(const std::wstring& name) {
    return name == L"comment" || name == L"text" || name == L"processing-instruction" || name == L"node";
}

bool isAxisName(const std::wstring& name) {
    static const wchar_t* const axes[] = {
        L"ancestor",  L"ancestor-or-self",  L"attribute", L"child",  L"descendant", L"descendant-or-self",
        L"following", L"following-sibling", L"namespace", L"parent", L"preceding",  L"preceding-sibling",
        L"self"};
    for (const wchar_t* axis : axes)
        if (name == axis) return true;
    return false;
}

class Lexer {
public:
    explicit Lexer(std::wstring_view text) : text_(text) {}

    std::vector<Token> run() {
        for (;;) {
            skipWhitespace();
            Token token;
            token.position = pos_;
            if (pos_ >= text_.size()) {
                token.type = TokenType::End;
                tokens_.push_back(std::move(token));
                return std::move(tokens_);
            }
            readToken(token);
            tokens_.push_back(std::move(token));
        }
    }

private:
    void skipWhitespace() {
        while (pos_ < text_.size() && Text::isWhitespace(text_[pos_]))
            ++pos_;
    }

    wchar_t peek(std::size_t offset = 0) const { return pos_ + offset < text_.size() ? text_[pos_ + offset] : L'\0'; }

    // True when the previous token can end an operand, so that '*' and
    // NCNames must be read as operators (section 3.7).
    bool operatorExpected() const {
        if (tokens_.empty()) return false;
        TokenType last = tokens_.back().type;
        return !(last == TokenType::At || last == TokenType::ColonColon || last == TokenType::LeftParen ||
                 last == TokenType::LeftBracket || last == TokenType::Comma || isOperatorToken(last));
    }

    std::wstring readNCName() {
        std::size_t start = pos_;
        while (pos_ < text_.size() && isNameChar(text_[pos_]))
            ++pos_;
        return std::wstring(text_.substr(start, pos_ - start));
    }

    void readToken(Token& token) {
        wchar_t c = peek();
        switch (c) {
            case L'(':
                ++pos_;
                token.type = TokenType::LeftParen;
                return;
            case L')':
                ++pos_;
                token.type = TokenType::RightParen;
                return;
            case L'[':
                ++pos_;
                token.type = TokenType::LeftBracket;
                return;
            case L']':
                ++pos_;
                token.type = TokenType::RightBracket;
                return;
            case L'@':
                ++pos_;
                token.type = TokenType::At;
                return;
            case L',':
                ++pos_;
                token.type = TokenType::Comma;
                return;
            case L'|':
                ++pos_;
                token.type = TokenType::Pipe;
                return;
            case L'+':
                ++pos_;
                token.type = TokenType::Plus;
                return;
            case L'-':
                ++pos_;
                token.type = TokenType::Minus;
                return;
            case L'=':
                ++pos_;
                token.type = TokenType::Equal;
                return;
            case L'/':
                ++pos_;
                if (peek() == L'/')
                    ++pos_, token.type = TokenType::DoubleSlash;
                else
                    token.type = TokenType::Slash;
                return;
            case L'!':
                if (peek(1) != L'=') throwSyntaxError(L"'!' must be followed by '='", pos_);
                pos_ += 2;
                token.type = TokenType::NotEqual;
                return;
            case L'<':
                ++pos_;
                if (peek() == L'=')
                    ++pos_, token.type = TokenType::LessEqual;
                else
                    token.type = TokenType::Less;
                return;
            case L'>':
                ++pos_;
                if (peek() == L'=')
                    ++pos_, token.type = TokenType::GreaterEqual;
                else
                    token.type = TokenType::Greater;
                return;
            case L':':
                if (peek(1) != L':') throwSyntaxError(L"unexpected ':'", pos_);
                pos_ += 2;
                token.type = TokenType::ColonColon;
                return;
            case L'"':
            case L'\'':
                readLiteral(token, c);
                return;
            case L'$':
                readVariable(token);
                return;
            case L'*':
                ++pos_;
                if (operatorExpected()) {
                    token.type = TokenType::Multiply;
                } else {
                    token.type = TokenType::NameTest;
                    token.text = L"*";
                }
                return;
            case L'.':
                if (isDigit(peek(1))) {
                    readNumber(token);
                    return;
                }
                if (peek(1) == L'.') {
                    pos_ += 2;
                    token.type = TokenType::DotDot;
                    return;
                }
                ++pos_;
                token.type = TokenType::Dot;
                return;
            default:
                break;
        }
        if (isDigit(c)) {
            readNumber(token);
            return;
        }
        if (isNameStart(c)) {
            readName(token);
            return;
        }
        throwSyntaxError(L"unexpected character", pos_);
    }

    void readLiteral(Token& token, wchar_t quote) {
        std::size_t end = text_.find(quote, pos_ + 1);
        if (end == std::wstring_view::npos) throwSyntaxError(L"unterminated string literal", pos_);
        token.type = TokenType::Literal;
        token.text = std::wstring(text_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = end + 1;
    }

    void readNumber(Token& token) {
        std::size_t start = pos_;
        while (isDigit(peek()))
            ++pos_;
        if (peek() == L'.') {
            ++pos_;
            while (isDigit(peek()))
                ++pos_;
        }
        token.type = TokenType::Number;
        token.text = std::wstring(text_.substr(start, pos_ - start));
        token.number = Text::parseNumber(token.text);
    }

    void readVariable(Token& token) {
        ++pos_;
        if (!isNameStart(peek())) throwSyntaxError(L"expected a variable name after '$'", pos_);
        token.type = TokenType::Variable;
        token.text = readNCName();
        if (peek() == L':' && isNameStart(peek(1))) {
            ++pos_;
            token.prefix = std::move(token.text);
            token.text = readNCName();
        }
    }

    void readName(Token& token) {
        std::wstring name = readNCName();
        if (operatorExpected()) {
            if (name == L"and")
                token.type = TokenType::And;
            else if (name == L"or")
                token.type = TokenType::Or;
            else if (name == L"mod")
                token.type = TokenType::Mod;
            else if (name == L"div")
                token.type = TokenType::Div;
            else
                throwSyntaxError(L"expected an operator instead of '" + name + L"'", token.position);
            return;
        }
        // prefix:local or prefix:*  (but not the '::' of an axis)
        if (peek() == L':' && peek(1) != L':') {
            if (peek(1) == L'*') {
                pos_ += 2;
                token.type = TokenType::NameTest;
                token.prefix = std::move(name);
                token.text = L"*";
                return;
            }
            if (!isNameStart(peek(1))) throwSyntaxError(L"invalid qualified name", pos_);
            ++pos_;
            token.prefix = std::move(name);
            name = readNCName();
        }
        token.text = std::move(name);
        std::size_t afterName = pos_;
        skipWhitespace();
        if (peek() == L'(') {
            pos_ = afterName;
            token.type =
                token.prefix.empty() && isNodeTypeName(token.text) ? TokenType::NodeType : TokenType::FunctionName;
            return;
        }
        if (peek() == L':' && peek(1) == L':') {
            pos_ = afterName;
            if (!token.prefix.empty() || !isAxisName(token.text))
                throwSyntaxError(L"unknown axis '" + token.text + L"'", token.position);
            token.type = TokenType::AxisName;
            return;
        }
        pos_ = afterName;
        token.type = TokenType::NameTest;
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
    std::vector<Token> tokens_;
};

} // namespace

bool isOperatorToken(TokenType type) {
    switch (type) {
        case TokenType::And:
        case TokenType::Or:
        case TokenType::Mod:
        case TokenType::Div:
        case TokenType::Multiply:
        case TokenType::Slash:
        case TokenType::DoubleSlash:
        case TokenType::Pipe:
        case TokenType::Plus:
        case TokenType::Minus:
        case TokenType::Equal:
        case TokenType::NotEqual:
        case TokenType::Less:
        case TokenType::LessEqual:
        case TokenType::Greater:
        case TokenType::GreaterEqual:
            return true;
        default:
            return false;
    }
}

std::vector<Token> tokenize(std::wstring_view expression) { return Lexer(expression).run(); }

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
