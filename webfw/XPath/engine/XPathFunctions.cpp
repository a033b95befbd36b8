// The core function library of XPath 1.0 (sections 4.1 to 4.4).
#include <cmath>
#include <cwctype>
#include <unordered_map>
#include <vector>

#include "XPathAst.h"
#include "XPathError.h"
#include "XPathText.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

struct FunctionInfo {
    Function function;
    int minArguments;
    int maxArguments; // -1: unbounded
    StaticType result;
};

const std::unordered_map<std::wstring, FunctionInfo>& functionTable() {
    static const std::unordered_map<std::wstring, FunctionInfo> table = {
        {L"last", {Function::Last, 0, 0, StaticType::Number}},
        {L"position", {Function::Position, 0, 0, StaticType::Number}},
        {L"count", {Function::Count, 1, 1, StaticType::Number}},
        {L"id", {Function::Id, 1, 1, StaticType::NodeSet}},
        {L"local-name", {Function::LocalName, 0, 1, StaticType::String}},
        {L"namespace-uri", {Function::NamespaceUri, 0, 1, StaticType::String}},
        {L"name", {Function::Name, 0, 1, StaticType::String}},
        {L"string", {Function::String, 0, 1, StaticType::String}},
        {L"concat", {Function::Concat, 2, -1, StaticType::String}},
        {L"starts-with", {Function::StartsWith, 2, 2, StaticType::Boolean}},
        {L"contains", {Function::Contains, 2, 2, StaticType::Boolean}},
        {L"substring-before", {Function::SubstringBefore, 2, 2, StaticType::String}},
        {L"substring-after", {Function::SubstringAfter, 2, 2, StaticType::String}},
        {L"substring", {Function::Substring, 2, 3, StaticType::String}},
        {L"string-length", {Function::StringLength, 0, 1, StaticType::Number}},
        {L"normalize-space", {Function::NormalizeSpace, 0, 1, StaticType::String}},
        {L"translate", {Function::Translate, 3, 3, StaticType::String}},
        {L"boolean", {Function::Boolean, 1, 1, StaticType::Boolean}},
        {L"not", {Function::Not, 1, 1, StaticType::Boolean}},
        {L"true", {Function::True, 0, 0, StaticType::Boolean}},
        {L"false", {Function::False, 0, 0, StaticType::Boolean}},
        {L"lang", {Function::Lang, 1, 1, StaticType::Boolean}},
        {L"number", {Function::Number, 0, 1, StaticType::Number}},
        {L"sum", {Function::Sum, 1, 1, StaticType::Number}},
        {L"floor", {Function::Floor, 1, 1, StaticType::Number}},
        {L"ceiling", {Function::Ceiling, 1, 1, StaticType::Number}},
        {L"round", {Function::Round, 1, 1, StaticType::Number}},
    };
    return table;
}

// Indexed by Function: staticType() is asked for every context node a
// predicate filters.
const FunctionInfo& infoOf(Function function) {
    static const std::vector<const FunctionInfo*> byFunction = [] {
        std::vector<const FunctionInfo*> index(static_cast<std::size_t>(Function::Round) + 1, nullptr);
        for (const auto& entry : functionTable())
            index[static_cast<std::size_t>(entry.second.function)] = &entry.second;
        return index;
    }();
    return *byFunction[static_cast<std::size_t>(function)];
}

wchar_t asciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// lang(): the language equals the argument, or starts with it followed by
// '-', ignoring case.
bool languageMatches(const std::wstring& language, const std::wstring& wanted) {
    if (language.size() < wanted.size()) return false;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        if (asciiLower(language[i]) != asciiLower(wanted[i])) return false;
    return language.size() == wanted.size() || language[wanted.size()] == L'-';
}

void addIdTokens(const Navigator& navigator, Node anyNode, const std::wstring& text, NodeSet& result) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && Text::isWhitespace(text[i]))
            ++i;
        std::size_t start = i;
        while (i < text.size() && !Text::isWhitespace(text[i]))
            ++i;
        if (i > start) {
            Node element = navigator.elementById(anyNode, std::wstring_view(text).substr(start, i - start));
            if (element) result.nodes.push_back(element);
        }
    }
}

} // namespace

bool findCoreFunction(const std::wstring& name, Function& function, int& minArguments, int& maxArguments) {
    auto found = functionTable().find(name);
    if (found == functionTable().end()) return false;
    function = found->second.function;
    minArguments = found->second.minArguments;
    maxArguments = found->second.maxArguments;
    return true;
}

StaticType FunctionExpr::staticType() const { return infoOf(function_).result; }

bool FunctionExpr::usesPositionOrSize() const {
    if (function_ == Function::Last || function_ == Function::Position) return true;
    for (const ExprPtr& argument : arguments_)
        if (argument->usesPositionOrSize()) return true;
    return false;
}

Value FunctionExpr::evaluateArgument(std::size_t index, const Context& context) const {
    return arguments_[index]->evaluate(context);
}

Value FunctionExpr::argumentNodeSet(std::size_t index, const Context& context) const {
    Value value = evaluateArgument(index, context);
    if (!value.isNodeSet())
        throwEvaluationError(L"the argument of this function must be a node-set", arguments_[index]->position());
    return value;
}

std::wstring FunctionExpr::argumentString(std::size_t index, const Context& context) const {
    if (index >= arguments_.size()) return stringValueOf(context.navigator(), context.node);
    return evaluateArgument(index, context).toString(context.navigator());
}

double FunctionExpr::argumentNumber(std::size_t index, const Context& context) const {
    if (index >= arguments_.size()) return Text::parseNumber(stringValueOf(context.navigator(), context.node));
    return evaluateArgument(index, context).toNumber(context.navigator());
}

Value FunctionExpr::nameFunction(const Context& context) const {
    const Navigator& navigator = context.navigator();
    Node node = context.node;
    if (!arguments_.empty()) {
        const Value set = argumentNodeSet(0, context);
        node = set.nodeSet().firstInDocumentOrder(navigator);
        if (!node) return Value::fromString(std::wstring());
    }
    const bool named = node.kind == NodeKind::Element || node.kind == NodeKind::Attribute ||
                       node.kind == NodeKind::ProcessingInstruction || node.kind == NodeKind::Namespace;
    if (!named) return Value::fromString(std::wstring());
    switch (function_) {
        case Function::LocalName:
            return Value::fromString(navigator.localName(node));
        case Function::NamespaceUri:
            if (node.kind != NodeKind::Element && node.kind != NodeKind::Attribute)
                return Value::fromString(std::wstring());
            return Value::fromString(navigator.namespaceUri(node));
        default:
            return Value::fromString(navigator.qualifiedName(node));
    }
}

Value FunctionExpr::idFunction(const Context& context) const {
    const Navigator& navigator = context.navigator();
    Value argument = evaluateArgument(0, context);
    NodeSet result;
    if (argument.isNodeSet()) {
        for (const Node& node : argument.nodes())
            addIdTokens(navigator, context.node, stringValueOf(navigator, node), result);
    } else {
        addIdTokens(navigator, context.node, argument.toString(navigator), result);
    }
    result.inDocumentOrder = result.nodes.size() <= 1;
    result.normalize(navigator);
    return Value::fromNodeSet(std::move(result));
}

Value FunctionExpr::evaluate(const Context& context) const {
    const Navigator& navigator = context.navigator();
    switch (function_) {
        case Function::Last:
            return Value::fromNumber(static_cast<double>(context.size));
        case Function::Position:
            return Value::fromNumber(static_cast<double>(context.position));
        case Function::Count: {
            const Value set = argumentNodeSet(0, context);
            return Value::fromNumber(static_cast<double>(set.nodes().size()));
        }
        case Function::Id:
            return idFunction(context);
        case Function::LocalName:
        case Function::NamespaceUri:
        case Function::Name:
            return nameFunction(context);
        case Function::String:
            return Value::fromString(argumentString(0, context));
        case Function::Concat: {
            std::wstring result;
            for (std::size_t i = 0; i < arguments_.size(); ++i)
                result += argumentString(i, context);
            return Value::fromString(std::move(result));
        }
        case Function::StartsWith: {
            std::wstring text = argumentString(0, context);
            std::wstring start = argumentString(1, context);
            return Value::fromBoolean(text.compare(0, start.size(), start) == 0);
        }
        case Function::Contains: {
            std::wstring text = argumentString(0, context);
            return Value::fromBoolean(Text::find(text, argumentString(1, context)) != std::wstring::npos);
        }
        case Function::SubstringBefore: {
            std::wstring text = argumentString(0, context);
            std::size_t at = Text::find(text, argumentString(1, context));
            return Value::fromString(at == std::wstring::npos ? std::wstring() : text.substr(0, at));
        }
        case Function::SubstringAfter: {
            std::wstring text = argumentString(0, context);
            std::wstring separator = argumentString(1, context);
            std::size_t at = Text::find(text, separator);
            return Value::fromString(at == std::wstring::npos ? std::wstring() : text.substr(at + separator.size()));
        }
        case Function::Substring: {
            std::wstring text = argumentString(0, context);
            double start = argumentNumber(1, context);
            bool hasLength = arguments_.size() == 3;
            double length = hasLength ? argumentNumber(2, context) : 0;
            return Value::fromString(Text::substring(text, start, length, hasLength));
        }
        case Function::StringLength:
            return Value::fromNumber(static_cast<double>(Text::characterCount(argumentString(0, context))));
        case Function::NormalizeSpace:
            return Value::fromString(Text::normalizeSpace(argumentString(0, context)));
        case Function::Translate: {
            std::wstring text = argumentString(0, context);
            std::wstring from = argumentString(1, context);
            std::wstring to = argumentString(2, context);
            return Value::fromString(Text::translate(text, from, to));
        }
        case Function::Boolean:
            return Value::fromBoolean(arguments_[0]->evaluateBoolean(context));
        case Function::Not:
            return Value::fromBoolean(!arguments_[0]->evaluateBoolean(context));
        case Function::True:
            return Value::fromBoolean(true);
        case Function::False:
            return Value::fromBoolean(false);
        case Function::Lang: {
            std::wstring wanted = argumentString(0, context);
            std::wstring language;
            return Value::fromBoolean(navigator.language(context.node, language) && languageMatches(language, wanted));
        }
        case Function::Number:
            return Value::fromNumber(argumentNumber(0, context));
        case Function::Sum: {
            const Value set = argumentNodeSet(0, context);
            double total = 0;
            std::wstring text;
            for (const Node& node : set.nodes()) {
                text.clear();
                navigator.appendStringValue(node, text);
                total += Text::parseNumber(text);
            }
            return Value::fromNumber(total);
        }
        case Function::Floor:
            return Value::fromNumber(std::floor(argumentNumber(0, context)));
        case Function::Ceiling:
            return Value::fromNumber(std::ceil(argumentNumber(0, context)));
        case Function::Round:
            return Value::fromNumber(Text::round(argumentNumber(0, context)));
    }
    return Value();
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
