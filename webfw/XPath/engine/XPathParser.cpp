#include "XPathParser.h"

#include <algorithm>

#include "XPathError.h"
#include "XPathLexer.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

Axis axisFromName(const std::wstring& name) {
    static const struct {
        const wchar_t* name;
        Axis axis;
    } axes[] = {{L"ancestor", Axis::Ancestor},
                {L"ancestor-or-self", Axis::AncestorOrSelf},
                {L"attribute", Axis::Attribute},
                {L"child", Axis::Child},
                {L"descendant", Axis::Descendant},
                {L"descendant-or-self", Axis::DescendantOrSelf},
                {L"following", Axis::Following},
                {L"following-sibling", Axis::FollowingSibling},
                {L"namespace", Axis::Namespace},
                {L"parent", Axis::Parent},
                {L"preceding", Axis::Preceding},
                {L"preceding-sibling", Axis::PrecedingSibling},
                {L"self", Axis::Self}};
    for (const auto& entry : axes)
        if (name == entry.name) return entry.axis;
    return Axis::Child; // the lexer only produces known axis names
}

Step anyNodeStep(Axis axis, std::size_t position) {
    Step step;
    step.axis = axis;
    step.test.kind = NodeTest::Kind::AnyNode;
    step.position = position;
    return step;
}

bool isPlainDescendantOrSelf(const Step& step) {
    return step.axis == Axis::DescendantOrSelf && step.test.kind == NodeTest::Kind::AnyNode && step.predicates.empty();
}

// @name = 'literal' or 'literal' = @name
ExprPtr simplifyPredicate(ExprPtr predicate) {
    auto* binary = dynamic_cast<BinaryExpr*>(predicate.get());
    if (!binary || binary->op() != BinaryOperator::Equal) return predicate;
    auto match = [](const ExprPtr& maybePath, const ExprPtr& maybeLiteral, const NodeTest*& test,
                    const LiteralExpr*& literal) {
        auto* path = dynamic_cast<const PathExpr*>(maybePath.get());
        literal = dynamic_cast<const LiteralExpr*>(maybeLiteral.get());
        if (!path || !literal || path->start() != PathExpr::Start::ContextNode || path->steps().size() != 1)
            return false;
        const Step& step = path->steps().front();
        if (step.axis != Axis::Attribute || !step.predicates.empty()) return false;
        test = &step.test;
        return true;
    };
    const NodeTest* test = nullptr;
    const LiteralExpr* literal = nullptr;
    if (match(binary->left(), binary->right(), test, literal) || match(binary->right(), binary->left(), test, literal))
        return std::make_unique<AttributeEqualsExpr>(predicate->position(), *test, literal->value());
    return predicate;
}

// A plain descendant-or-self::node() step followed by a child step only
// provides parents: text, comment and PI nodes have no children, so the step
// may keep elements and the root only and visit far fewer nodes.
void onlyParentsBeforeChildSteps(std::vector<Step>& steps) {
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        if (isPlainDescendantOrSelf(steps[i]) && steps[i + 1].axis == Axis::Child)
            steps[i].test.kind = NodeTest::Kind::ElementOrRoot;
    }
}

class Parser {
public:
    Parser(std::wstring_view text, const NamespaceResolver* namespaces)
        : tokens_(tokenize(text)), namespaces_(namespaces) {}

    ExprPtr run() {
        ExprPtr expr = parseExpr();
        if (current().type != TokenType::End) fail(L"unexpected text after the end of the expression");
        return expr;
    }

private:
    // Nesting guard for the recursive descent itself.
    struct DepthGuard {
        explicit DepthGuard(Parser& parser) : parser_(parser) {
            if (++parser_.depth_ > kMaxExpressionHeight) parser_.fail(L"expression nested too deeply");
        }
        ~DepthGuard() { --parser_.depth_; }
        Parser& parser_;
    };

    const Token& current() const { return tokens_[index_]; }
    const Token& advance() { return tokens_[index_ < tokens_.size() - 1 ? index_++ : index_]; }
    bool accept(TokenType type) {
        if (current().type != type) return false;
        advance();
        return true;
    }
    [[noreturn]] void fail(const std::wstring& message) const { throwSyntaxError(message, current().position); }
    void expect(TokenType type, const wchar_t* what) {
        if (!accept(type)) fail(std::wstring(L"expected ") + what);
    }

    // Records the height of a new node and enforces the bound.
    ExprPtr finish(ExprPtr expr, std::size_t childHeight) {
        expr->setHeight(childHeight + 1);
        if (expr->height() > kMaxExpressionHeight) throwSyntaxError(L"expression nested too deeply", expr->position());
        return expr;
    }

    ExprPtr binary(std::size_t position, BinaryOperator op, ExprPtr left, ExprPtr right) {
        std::size_t height = std::max(left->height(), right->height());
        if (op == BinaryOperator::Equal || op == BinaryOperator::NotEqual) {
            if (ExprPtr blankTest = blankStringTest(position, op, left, right))
                return finish(std::move(blankTest), height);
            if (ExprPtr blankTest = blankStringTest(position, op, right, left))
                return finish(std::move(blankTest), height);
        }
        return finish(std::make_unique<BinaryExpr>(position, op, std::move(left), std::move(right)), height);
    }

    // normalize-space(x) = '' or != '': takes x out of the call when it matches.
    static ExprPtr blankStringTest(std::size_t position, BinaryOperator op, ExprPtr& call, const ExprPtr& literal) {
        auto* function = dynamic_cast<FunctionExpr*>(call.get());
        auto* empty = dynamic_cast<const LiteralExpr*>(literal.get());
        if (!function || function->function() != Function::NormalizeSpace || !empty || !empty->value().empty())
            return nullptr;
        ExprPtr operand = function->arguments().empty() ? nullptr : std::move(function->arguments().front());
        return std::make_unique<BlankStringExpr>(position, std::move(operand), op == BinaryOperator::NotEqual);
    }

    std::wstring resolvePrefix(const std::wstring& prefix, std::size_t position) const {
        std::wstring uri;
        if (prefix.empty()) return uri;
        if (prefix == L"xml") return Navigator::xmlNamespaceUri;
        if (!namespaces_ || !namespaces_->lookupNamespaceUri(prefix, uri))
            throwSyntaxError(L"undeclared namespace prefix '" + prefix + L"'", position);
        return uri;
    }

    ExprPtr parseExpr() {
        DepthGuard guard(*this);
        return parseOr();
    }

    ExprPtr parseOr() {
        ExprPtr left = parseAnd();
        while (current().type == TokenType::Or) {
            std::size_t position = advance().position;
            left = binary(position, BinaryOperator::Or, std::move(left), parseAnd());
        }
        return left;
    }

    ExprPtr parseAnd() {
        ExprPtr left = parseEquality();
        while (current().type == TokenType::And) {
            std::size_t position = advance().position;
            left = binary(position, BinaryOperator::And, std::move(left), parseEquality());
        }
        return left;
    }

    ExprPtr parseEquality() {
        ExprPtr left = parseRelational();
        for (;;) {
            BinaryOperator op;
            if (current().type == TokenType::Equal)
                op = BinaryOperator::Equal;
            else if (current().type == TokenType::NotEqual)
                op = BinaryOperator::NotEqual;
            else
                return left;
            std::size_t position = advance().position;
            left = binary(position, op, std::move(left), parseRelational());
        }
    }

    ExprPtr parseRelational() {
        ExprPtr left = parseAdditive();
        for (;;) {
            BinaryOperator op;
            switch (current().type) {
                case TokenType::Less:
                    op = BinaryOperator::Less;
                    break;
                case TokenType::LessEqual:
                    op = BinaryOperator::LessEqual;
                    break;
                case TokenType::Greater:
                    op = BinaryOperator::Greater;
                    break;
                case TokenType::GreaterEqual:
                    op = BinaryOperator::GreaterEqual;
                    break;
                default:
                    return left;
            }
            std::size_t position = advance().position;
            left = binary(position, op, std::move(left), parseAdditive());
        }
    }

    ExprPtr parseAdditive() {
        ExprPtr left = parseMultiplicative();
        for (;;) {
            BinaryOperator op;
            if (current().type == TokenType::Plus)
                op = BinaryOperator::Add;
            else if (current().type == TokenType::Minus)
                op = BinaryOperator::Subtract;
            else
                return left;
            std::size_t position = advance().position;
            left = binary(position, op, std::move(left), parseMultiplicative());
        }
    }

    ExprPtr parseMultiplicative() {
        ExprPtr left = parseUnary();
        for (;;) {
            BinaryOperator op;
            switch (current().type) {
                case TokenType::Multiply:
                    op = BinaryOperator::Multiply;
                    break;
                case TokenType::Div:
                    op = BinaryOperator::Divide;
                    break;
                case TokenType::Mod:
                    op = BinaryOperator::Modulo;
                    break;
                default:
                    return left;
            }
            std::size_t position = advance().position;
            left = binary(position, op, std::move(left), parseUnary());
        }
    }

    ExprPtr parseUnary() {
        std::vector<std::size_t> minuses;
        while (current().type == TokenType::Minus)
            minuses.push_back(advance().position);
        ExprPtr operand = parseUnion();
        for (auto it = minuses.rbegin(); it != minuses.rend(); ++it) {
            std::size_t height = operand->height();
            operand = finish(std::make_unique<NegateExpr>(*it, std::move(operand)), height);
        }
        return operand;
    }

    ExprPtr parseUnion() {
        ExprPtr left = parsePath();
        while (current().type == TokenType::Pipe) {
            std::size_t position = advance().position;
            ExprPtr right = parsePath();
            std::size_t height = std::max(left->height(), right->height());
            left = finish(std::make_unique<UnionExpr>(position, std::move(left), std::move(right)), height);
        }
        return left;
    }

    static bool startsFilterExpr(TokenType type) {
        return type == TokenType::Variable || type == TokenType::LeftParen || type == TokenType::Literal ||
               type == TokenType::Number || type == TokenType::FunctionName;
    }

    static bool startsStep(TokenType type) {
        return type == TokenType::AxisName || type == TokenType::At || type == TokenType::NameTest ||
               type == TokenType::NodeType || type == TokenType::Dot || type == TokenType::DotDot;
    }

    ExprPtr parsePath() {
        const Token& first = current();
        std::size_t position = first.position;
        if (startsFilterExpr(first.type)) {
            ExprPtr filter = parseFilter();
            if (current().type != TokenType::Slash && current().type != TokenType::DoubleSlash) return filter;
            std::vector<Step> steps;
            std::size_t height = filter->height();
            if (accept(TokenType::DoubleSlash))
                steps.push_back(anyNodeStep(Axis::DescendantOrSelf, position));
            else
                advance();
            height = std::max(height, parseRelativePath(steps));
            return finish(
                std::make_unique<PathExpr>(position, PathExpr::Start::Filter, std::move(filter), std::move(steps)),
                height);
        }
        std::vector<Step> steps;
        std::size_t height = 0;
        PathExpr::Start start = PathExpr::Start::ContextNode;
        if (accept(TokenType::Slash)) {
            start = PathExpr::Start::Root;
            if (startsStep(current().type)) height = parseRelativePath(steps);
        } else if (accept(TokenType::DoubleSlash)) {
            start = PathExpr::Start::Root;
            steps.push_back(anyNodeStep(Axis::DescendantOrSelf, position));
            height = parseRelativePath(steps);
        } else if (startsStep(first.type)) {
            height = parseRelativePath(steps);
        } else {
            fail(first.type == TokenType::End ? L"unexpected end of the expression" : L"expected an expression");
        }
        auto path = std::make_unique<PathExpr>(position, start, nullptr, std::move(steps));
        if (predicateDepth_ > 0) path->setCacheable();
        return finish(std::move(path), height);
    }

    // Appends the steps of a relative location path; returns the height of
    // its predicates.
    std::size_t parseRelativePath(std::vector<Step>& steps) {
        std::size_t height = 0;
        for (;;) {
            if (!startsStep(current().type)) fail(L"expected a location step");
            Step step = parseStep(height);
            // '//name[...]' equals '/descendant::name[...]' when no predicate
            // depends on the position.
            if (!steps.empty() && isPlainDescendantOrSelf(steps.back()) && step.axis == Axis::Child &&
                step.predicatesIgnorePosition()) {
                step.axis = Axis::Descendant;
                steps.back() = std::move(step);
            } else {
                steps.push_back(std::move(step));
            }
            if (accept(TokenType::Slash)) continue;
            if (current().type == TokenType::DoubleSlash) {
                steps.push_back(anyNodeStep(Axis::DescendantOrSelf, advance().position));
                continue;
            }
            onlyParentsBeforeChildSteps(steps);
            return height;
        }
    }

    Step parseStep(std::size_t& height) {
        Step step;
        step.position = current().position;
        if (accept(TokenType::Dot)) return anyNodeStep(Axis::Self, step.position);
        if (accept(TokenType::DotDot)) return anyNodeStep(Axis::Parent, step.position);
        if (current().type == TokenType::AxisName) {
            step.axis = axisFromName(advance().text);
            expect(TokenType::ColonColon, L"'::'");
        } else if (accept(TokenType::At)) {
            step.axis = Axis::Attribute;
        }
        const Token& test = current();
        if (test.type == TokenType::NameTest) {
            advance();
            if (test.text == L"*") {
                step.test.kind = test.prefix.empty() ? NodeTest::Kind::AnyName : NodeTest::Kind::NamespaceWildcard;
            } else {
                step.test.kind = NodeTest::Kind::Name;
                step.test.localName = test.text;
            }
            step.test.namespaceUri = resolvePrefix(test.prefix, test.position);
        } else if (test.type == TokenType::NodeType) {
            std::wstring type = advance().text;
            expect(TokenType::LeftParen, L"'('");
            if (type == L"node")
                step.test.kind = NodeTest::Kind::AnyNode;
            else if (type == L"text")
                step.test.kind = NodeTest::Kind::Text;
            else if (type == L"comment")
                step.test.kind = NodeTest::Kind::Comment;
            else {
                step.test.kind = NodeTest::Kind::ProcessingInstruction;
                if (current().type == TokenType::Literal) {
                    step.test.hasTarget = true;
                    step.test.localName = advance().text;
                }
            }
            expect(TokenType::RightParen, L"')'");
        } else {
            fail(L"expected a node test");
        }
        while (current().type == TokenType::LeftBracket) {
            ExprPtr predicate = parsePredicate();
            height = std::max(height, predicate->height());
            step.predicates.push_back(std::move(predicate));
        }
        return step;
    }

    ExprPtr parsePredicate() {
        expect(TokenType::LeftBracket, L"'['");
        ++predicateDepth_;
        ExprPtr predicate = simplifyPredicate(parseExpr());
        --predicateDepth_;
        expect(TokenType::RightBracket, L"']'");
        return predicate;
    }

    ExprPtr parseFilter() {
        std::size_t position = current().position;
        ExprPtr primary = parsePrimary();
        if (current().type != TokenType::LeftBracket) return primary;
        std::vector<ExprPtr> predicates;
        std::size_t height = primary->height();
        while (current().type == TokenType::LeftBracket) {
            predicates.push_back(parsePredicate());
            height = std::max(height, predicates.back()->height());
        }
        return finish(std::make_unique<FilterExpr>(position, std::move(primary), std::move(predicates)), height);
    }

    ExprPtr parsePrimary() {
        const Token& token = current();
        std::size_t position = token.position;
        switch (token.type) {
            case TokenType::Variable: {
                advance();
                std::wstring uri = resolvePrefix(token.prefix, position);
                return std::make_unique<VariableExpr>(position, std::move(uri), token.text);
            }
            case TokenType::LeftParen: {
                advance();
                ExprPtr inner = parseExpr();
                expect(TokenType::RightParen, L"')'");
                return inner;
            }
            case TokenType::Literal:
                advance();
                return std::make_unique<LiteralExpr>(position, token.text);
            case TokenType::Number:
                advance();
                return std::make_unique<NumberExpr>(position, token.number);
            case TokenType::FunctionName:
                return parseFunctionCall();
            default:
                fail(L"expected an expression");
        }
    }

    ExprPtr parseFunctionCall() {
        const Token& name = advance();
        Function function;
        int minArguments = 0;
        int maxArguments = 0;
        if (!name.prefix.empty() || !findCoreFunction(name.text, function, minArguments, maxArguments)) {
            std::wstring qualified = name.prefix.empty() ? name.text : name.prefix + L":" + name.text;
            throwSyntaxError(L"unknown function '" + qualified + L"'", name.position);
        }
        expect(TokenType::LeftParen, L"'('");
        std::vector<ExprPtr> arguments;
        std::size_t height = 0;
        if (current().type != TokenType::RightParen) {
            do {
                arguments.push_back(parseExpr());
                height = std::max(height, arguments.back()->height());
            } while (accept(TokenType::Comma));
        }
        expect(TokenType::RightParen, L"')' or ','");
        int count = static_cast<int>(arguments.size());
        if (count < minArguments || (maxArguments >= 0 && count > maxArguments))
            throwSyntaxError(L"wrong number of arguments for " + name.text + L"()", name.position);
        return finish(std::make_unique<FunctionExpr>(name.position, function, std::move(arguments)), height);
    }

    std::vector<Token> tokens_;
    std::size_t index_ = 0;
    std::size_t depth_ = 0;
    std::size_t predicateDepth_ = 0;
    const NamespaceResolver* namespaces_;
};

} // namespace

ExprPtr parseExpression(std::wstring_view text, const NamespaceResolver* namespaces) {
    return Parser(text, namespaces).run();
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
