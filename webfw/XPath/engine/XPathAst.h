// Compiled form of an XPath expression: a tree of Expr nodes evaluated
// against a Navigator. Internal to the engine; the public entry is
// Expression (XPathExpression.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "XPathNavigator.h"
#include "XPathResolvers.h"
#include "XPathValue.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

class Expr;

// Values of absolute paths inside predicates, kept for one evaluation: they
// do not depend on the context node, only on its document, so a predicate
// such as [@for = //input/@id] walks the document once, not once per node.
struct AbsolutePathValue {
    Node root;
    Value value;
    // The string-values of its nodes, built when an equality first needs
    // them: [. = //a] then compares each context node with one look-up.
    std::unique_ptr<const std::unordered_set<std::wstring>> stringValues;
};
using AbsolutePathCache = std::unordered_map<const Expr*, AbsolutePathValue>;

struct Environment {
    const Navigator& navigator;
    const VariableResolver* variables;
    AbsolutePathCache& absolutePaths;
};

struct Context {
    const Environment& environment;
    Node node;
    std::size_t position;
    std::size_t size;

    const Navigator& navigator() const { return environment.navigator; }
};

// What an expression is known to yield before it runs; Any when it depends
// on a variable.
enum class StaticType { Any, NodeSet, Boolean, Number, String };

class Expr {
public:
    explicit Expr(std::size_t position) : position_(position) {}
    virtual ~Expr() = default;
    Expr(const Expr&) = delete;
    Expr& operator=(const Expr&) = delete;

    virtual Value evaluate(const Context& context) const = 0;
    // boolean() of the result; node-set expressions override it to stop at
    // the first node.
    virtual bool evaluateBoolean(const Context& context) const { return evaluate(context).toBoolean(); }
    virtual StaticType staticType() const = 0;
    // True when the value depends on the context position or size (calls of
    // position() or last() outside any nested predicate).
    virtual bool usesPositionOrSize() const = 0;
    // The value of a number literal, or null for other expressions; cheaper
    // than a dynamic_cast where predicates are filtered per context node.
    virtual const double* constantNumber() const { return nullptr; }
    // The path itself when it is an absolute path kept for the evaluation
    // (see AbsolutePathValue), else null.
    virtual const class PathExpr* keptPath() const { return nullptr; }

    std::size_t position() const { return position_; }
    // Depth of the expression tree below and including this node; the parser
    // bounds it so that evaluation cannot exhaust the stack.
    std::size_t height() const { return height_; }
    void setHeight(std::size_t height) { height_ = height; }

private:
    std::size_t position_;
    std::size_t height_ = 1;
};

using ExprPtr = std::unique_ptr<Expr>;

enum class Axis {
    Ancestor,
    AncestorOrSelf,
    Attribute,
    Child,
    Descendant,
    DescendantOrSelf,
    Following,
    FollowingSibling,
    Namespace,
    Parent,
    Preceding,
    PrecedingSibling,
    Self
};

bool isReverseAxis(Axis axis);

struct NodeTest {
    // ElementOrRoot is internal: it replaces node() in a step whose nodes
    // only serve as parents for the next step.
    enum class Kind { AnyNode, Text, Comment, ProcessingInstruction, Name, AnyName, NamespaceWildcard, ElementOrRoot };
    Kind kind = Kind::AnyNode;
    std::wstring localName;    // Name; target of processing-instruction('target')
    std::wstring namespaceUri; // Name and NamespaceWildcard
    bool hasTarget = false;    // processing-instruction with a literal

    // principal: Attribute on the attribute axis, Namespace on the namespace
    // axis, Element elsewhere. Inline: it runs for every node an axis visits.
    bool matches(const Navigator& navigator, Node node, NodeKind principal) const {
        switch (kind) {
            case Kind::AnyNode:
                return true;
            case Kind::Text:
                return node.kind == NodeKind::Text;
            case Kind::Comment:
                return node.kind == NodeKind::Comment;
            case Kind::ProcessingInstruction:
                return node.kind == NodeKind::ProcessingInstruction &&
                       (!hasTarget || navigator.localName(node) == localName);
            case Kind::Name:
                return node.kind == principal && navigator.nameEquals(node, localName, namespaceUri);
            case Kind::AnyName:
                return node.kind == principal;
            case Kind::ElementOrRoot:
                return node.kind == NodeKind::Element || node.kind == NodeKind::Root;
            case Kind::NamespaceWildcard:
                return node.kind == principal && navigator.namespaceEquals(node, namespaceUri);
        }
        return false;
    }
};

// Appends the nodes of the axis that pass the test, in axis order (reverse
// document order for reverse axes), stopping once out holds limit nodes.
void collectAxis(const Navigator& navigator, Axis axis, const NodeTest& test, Node context, std::vector<Node>& out,
                 std::size_t limit = static_cast<std::size_t>(-1));

// collectAxis for the descendant or descendant-or-self axis and a name
// test; returns true when no node it appended lies inside another one it
// appended.
bool collectNamedDescendants(const Navigator& navigator, Axis axis, const NodeTest& test, Node context,
                             std::vector<Node>& out, std::size_t limit = static_cast<std::size_t>(-1));

struct Step {
    Axis axis = Axis::Child;
    NodeTest test;
    std::vector<ExprPtr> predicates;
    std::size_t position = 0;

    // No predicate uses the position or size, and none yields a number.
    bool predicatesIgnorePosition() const;
};

// Keeps the nodes for which the predicate holds; positions count from 1 in
// the order of nodes (axis order).
void filterByPredicate(const Expr& predicate, const Environment& environment, std::vector<Node>& nodes);

// A following-sibling or preceding-sibling step from several context nodes
// (in document order without duplicates) with one sibling scan per parent;
// appends its result, possibly with duplicates, and tells whether it is in
// document order without them. Returns false, appending nothing, for steps
// of other forms.
bool collectSiblingStep(const Environment& environment, const Step& step, const std::vector<Node>& context,
                        std::vector<Node>& out, bool& inDocumentOrder);

// descendant-or-self::node()/childStep from context (in document order
// without duplicates): appends the result in document order without
// duplicates.
void collectChildrenOfDescendants(const Environment& environment, const Step& childStep,
                                  const std::vector<Node>& context, std::vector<Node>& out);

// --- Primary expressions ----------------------------------------------------

class LiteralExpr : public Expr {
public:
    LiteralExpr(std::size_t position, std::wstring value) : Expr(position), value_(std::move(value)) {}
    Value evaluate(const Context&) const override { return Value::fromString(value_); }
    StaticType staticType() const override { return StaticType::String; }
    bool usesPositionOrSize() const override { return false; }
    const std::wstring& value() const { return value_; }

private:
    std::wstring value_;
};

class NumberExpr : public Expr {
public:
    NumberExpr(std::size_t position, double value) : Expr(position), value_(value) {}
    Value evaluate(const Context&) const override { return Value::fromNumber(value_); }
    StaticType staticType() const override { return StaticType::Number; }
    bool usesPositionOrSize() const override { return false; }
    const double* constantNumber() const override { return &value_; }
    double value() const { return value_; }

private:
    double value_;
};

class VariableExpr : public Expr {
public:
    VariableExpr(std::size_t position, std::wstring namespaceUri, std::wstring localName)
        : Expr(position), namespaceUri_(std::move(namespaceUri)), localName_(std::move(localName)) {}
    Value evaluate(const Context& context) const override;
    StaticType staticType() const override { return StaticType::Any; }
    bool usesPositionOrSize() const override { return false; }

private:
    std::wstring namespaceUri_;
    std::wstring localName_;
};

// --- Operators ----------------------------------------------------------------

enum class BinaryOperator {
    Or,
    And,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Add,
    Subtract,
    Multiply,
    Divide,
    Modulo
};

class BinaryExpr : public Expr {
public:
    BinaryExpr(std::size_t position, BinaryOperator op, ExprPtr left, ExprPtr right)
        : Expr(position), op_(op), left_(std::move(left)), right_(std::move(right)) {}
    Value evaluate(const Context& context) const override;
    bool evaluateBoolean(const Context& context) const override;
    StaticType staticType() const override;
    bool usesPositionOrSize() const override { return left_->usesPositionOrSize() || right_->usesPositionOrSize(); }
    BinaryOperator op() const { return op_; }
    const ExprPtr& left() const { return left_; }
    const ExprPtr& right() const { return right_; }
    ExprPtr& left() { return left_; }
    ExprPtr& right() { return right_; }

private:
    bool compare(const Context& context) const;
    BinaryOperator op_;
    ExprPtr left_;
    ExprPtr right_;
};

class NegateExpr : public Expr {
public:
    NegateExpr(std::size_t position, ExprPtr operand) : Expr(position), operand_(std::move(operand)) {}
    Value evaluate(const Context& context) const override;
    StaticType staticType() const override { return StaticType::Number; }
    bool usesPositionOrSize() const override { return operand_->usesPositionOrSize(); }

private:
    ExprPtr operand_;
};

class UnionExpr : public Expr {
public:
    UnionExpr(std::size_t position, ExprPtr left, ExprPtr right)
        : Expr(position), left_(std::move(left)), right_(std::move(right)) {}
    Value evaluate(const Context& context) const override;
    StaticType staticType() const override { return StaticType::NodeSet; }
    bool usesPositionOrSize() const override { return left_->usesPositionOrSize() || right_->usesPositionOrSize(); }

private:
    ExprPtr left_;
    ExprPtr right_;
};

// PrimaryExpr Predicate*; predicates count positions in document order.
class FilterExpr : public Expr {
public:
    FilterExpr(std::size_t position, ExprPtr primary, std::vector<ExprPtr> predicates)
        : Expr(position), primary_(std::move(primary)), predicates_(std::move(predicates)) {}
    Value evaluate(const Context& context) const override;
    StaticType staticType() const override { return StaticType::NodeSet; }
    bool usesPositionOrSize() const override { return primary_->usesPositionOrSize(); }

private:
    ExprPtr primary_;
    std::vector<ExprPtr> predicates_;
};

// An absolute or relative location path, or FilterExpr followed by steps.
class PathExpr : public Expr {
public:
    enum class Start { ContextNode, Root, Filter };
    PathExpr(std::size_t position, Start start, ExprPtr filter, std::vector<Step> steps)
        : Expr(position), start_(start), filter_(std::move(filter)), steps_(std::move(steps)) {}
    Value evaluate(const Context& context) const override;
    bool evaluateBoolean(const Context& context) const override;
    StaticType staticType() const override { return StaticType::NodeSet; }
    bool usesPositionOrSize() const override { return filter_ && filter_->usesPositionOrSize(); }

    Start start() const { return start_; }
    // Set by the parser for absolute paths inside predicates.
    void setCacheable() { cacheable_ = start_ == Start::Root; }
    const PathExpr* keptPath() const override { return cacheable_ ? this : nullptr; }
    // For a kept path: the string-values of its nodes in this evaluation.
    const std::unordered_set<std::wstring>& keptStringValues(const Context& context) const;
    std::vector<Step>& steps() { return steps_; }
    const std::vector<Step>& steps() const { return steps_; }

private:
    NodeSet evaluateSteps(const Environment& environment, NodeSet current) const;
    AbsolutePathValue& keptValue(const Context& context) const;
    bool cacheable_ = false;
    Start start_;
    ExprPtr filter_;
    std::vector<Step> steps_;
};

// @name = 'literal' (either order) inside a predicate: compares attribute
// values without building node-sets.
class AttributeEqualsExpr : public Expr {
public:
    AttributeEqualsExpr(std::size_t position, NodeTest attributeTest, std::wstring literal)
        : Expr(position), test_(std::move(attributeTest)), literal_(std::move(literal)) {}
    Value evaluate(const Context& context) const override { return Value::fromBoolean(evaluateBoolean(context)); }
    bool evaluateBoolean(const Context& context) const override;
    StaticType staticType() const override { return StaticType::Boolean; }
    bool usesPositionOrSize() const override { return false; }

private:
    NodeTest test_;
    std::wstring literal_;
};

// --- Function calls -----------------------------------------------------------

enum class Function {
    Last,
    Position,
    Count,
    Id,
    LocalName,
    NamespaceUri,
    Name,
    String,
    Concat,
    StartsWith,
    Contains,
    SubstringBefore,
    SubstringAfter,
    Substring,
    StringLength,
    NormalizeSpace,
    Translate,
    Boolean,
    Not,
    True,
    False,
    Lang,
    Number,
    Sum,
    Floor,
    Ceiling,
    Round
};

class FunctionExpr : public Expr {
public:
    FunctionExpr(std::size_t position, Function function, std::vector<ExprPtr> arguments)
        : Expr(position), function_(function), arguments_(std::move(arguments)) {}
    Value evaluate(const Context& context) const override;
    StaticType staticType() const override;
    bool usesPositionOrSize() const override;

    Function function() const { return function_; }
    std::vector<ExprPtr>& arguments() { return arguments_; }

private:
    Value evaluateArgument(std::size_t index, const Context& context) const;
    // The argument's value, checked to be a node-set.
    Value argumentNodeSet(std::size_t index, const Context& context) const;
    std::wstring argumentString(std::size_t index, const Context& context) const;
    double argumentNumber(std::size_t index, const Context& context) const;
    Value nameFunction(const Context& context) const;
    Value idFunction(const Context& context) const;

    Function function_;
    std::vector<ExprPtr> arguments_;
};

// normalize-space(operand) = '' (or != '' when negated; the other operand
// order too): whether the string has no character other than whitespace,
// found without building the normalized string. The string-value of a node
// is read text node by text node and the check stops at the first other
// character. A null operand stands for the context node.
class BlankStringExpr : public Expr {
public:
    BlankStringExpr(std::size_t position, ExprPtr operand, bool negated)
        : Expr(position), operand_(std::move(operand)), negated_(negated) {}
    Value evaluate(const Context& context) const override { return Value::fromBoolean(evaluateBoolean(context)); }
    bool evaluateBoolean(const Context& context) const override;
    StaticType staticType() const override { return StaticType::Boolean; }
    bool usesPositionOrSize() const override { return operand_ && operand_->usesPositionOrSize(); }

private:
    ExprPtr operand_;
    bool negated_;
};

// Looks up a core function by name; false when unknown. Sets the allowed
// argument counts (maxArguments -1: unbounded).
bool findCoreFunction(const std::wstring& name, Function& function, int& minArguments, int& maxArguments);

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
