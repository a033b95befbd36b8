#!/usr/bin/env python3
"""Checks that every COM method the library implements is an exception boundary.

A COM method is any function with the stdcall COM calling convention
(STDMETHODIMP, STDMETHODIMP_(T) or `T STDMETHODCALLTYPE`) that has a body in
the library's own sources, wherever the body is (inline in a header or out of
line in a .cpp file). Each one must
  - be declared and defined `noexcept`, and
  - have a function-try-block whose handler is one of the VX_COM_CATCH macros
    of platform/com/ComBoundary.h,
so that no C++ exception (std::bad_alloc, a container's exception) can unwind
into a caller that knows nothing of C++. AddRef and Release only need
`noexcept`: they do nothing that can throw.

  com-boundaries.py [--fix] [ROOT]

Without --fix it lists every method that is not a boundary and exits 1 when
there is one; it always prints how many COM methods it found. --fix rewrites
the sources in place (adds noexcept to declarations and definitions, wraps
bodies in a function-try-block); run clang-format on the files it changed.
"""
import os
import re
import sys

PRODUCT_DIRS = ["platform", "comhelp", "openapphook", "module", "services", "testobjects", "quickbrowser",
                "webfw", "recording"]
EXCLUDED = [os.path.join("platform", "compat")]
EXEMPT = {"AddRef", "Release"}

MARKER = re.compile(r"\bSTDMETHODIMP(?:_\(\s*([\w:\s\*]+?)\s*\))?\s+|\bSTDMETHODCALLTYPE\s+")
CLASS_HEAD = re.compile(r"\b(class|struct)\s+(?:__declspec\([^)]*\)\s*)?(?:MIDL_INTERFACE\([^)]*\)\s*)?(\w+)[^;{}()]*$")


def mask_text(text):
    """The text with comments, string and character literals blanked (same
    length), so brackets inside them are not counted."""
    out = list(text)
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            for k in range(i, j):
                out[k] = " "
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j):
                if text[k] != "\n":
                    out[k] = " "
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')):
            d = text.index("(", i)
            delim = ")" + text[i + 2:d] + '"'
            j = text.index(delim, d) + len(delim)
            for k in range(i + 1, j):
                if text[k] != "\n":
                    out[k] = " "
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():
                i += 1  # digit separator
                continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            for k in range(i + 1, j):
                out[k] = " "
            i = j + 1
        else:
            i += 1
    return "".join(out)


def matching(masked, pos):
    """Index of the bracket closing the one at `pos`."""
    opening = masked[pos]
    closing = {"(": ")", "{": "}", "[": "]"}[opening]
    depth = 0
    for i in range(pos, len(masked)):
        if masked[i] == opening:
            depth += 1
        elif masked[i] == closing:
            depth -= 1
            if depth == 0:
                return i
    raise ValueError("unbalanced bracket")


def scopes(masked):
    """For each '{' position: the class name it opens, or None."""
    result = {}
    for m in re.finditer(r"\{", masked):
        start = max(masked.rfind(";", 0, m.start()), masked.rfind("}", 0, m.start()),
                    masked.rfind("{", 0, m.start()))
        head = masked[start + 1:m.start()]
        cm = CLASS_HEAD.search(head.replace("\n", " "))
        result[m.start()] = cm.group(2) if cm and "(" not in head.split(cm.group(2), 1)[1] else None
    return result


def enclosing_class(masked, class_scopes, pos):
    depth = 0
    for i in range(pos - 1, -1, -1):
        ch = masked[i]
        if ch == "}":
            depth += 1
        elif ch == "{":
            if depth == 0:
                if class_scopes.get(i):
                    return class_scopes[i]
                return None
            depth -= 1
    return None


class Method:
    def __init__(self, path, name, return_type, params_end, body_start, qualifiers_start):
        self.path, self.name, self.return_type = path, name, return_type
        self.params_end, self.body_start, self.qualifiers_start = params_end, body_start, qualifiers_start


def return_type_before(text, marker_start):
    line_start = text.rfind("\n", 0, marker_start) + 1
    words = text[line_start:marker_start].split()
    words = [w for w in words if w not in ("virtual", "static", "inline", "template", "typename")]
    return " ".join(words) or "HRESULT"


def after_signature(masked, close):
    """(position of the body's '{' or None, position of the ';' or None)."""
    i = close + 1
    while i < len(masked):
        ch = masked[i]
        if ch == "{":
            return i, None
        if ch == ";":
            return None, i
        if ch == "=":
            return None, masked.index(";", i)
        i += 1
    return None, None


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def product_files(root):
    for d in PRODUCT_DIRS:
        for dirpath, _, names in os.walk(os.path.join(root, d)):
            rel = os.path.relpath(dirpath, root)
            if any(rel == e or rel.startswith(e + os.sep) for e in EXCLUDED):
                continue
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    yield os.path.join(dirpath, name)


def find_methods(root):
    """(definitions, declarations): every COM method with a body, and every
    declaration without one (to be matched with its out-of-line body)."""
    definitions, declarations = [], {}
    texts = {}
    for path in product_files(root):
        text = read(path)
        texts[path] = text
        masked = mask_text(text)
        class_scopes = scopes(masked)
        for m in MARKER.finditer(masked):
            name_match = re.match(r"(\w+)\s*\(", masked[m.end():])
            if not name_match:
                continue
            name = name_match.group(1)
            open_paren = m.end() + name_match.end() - 1
            close = matching(masked, open_paren)
            if m.group(0).startswith("STDMETHODIMP"):
                return_type = m.group(1) if m.group(1) else "HRESULT"
            else:
                return_type = return_type_before(text, m.start())
            body, semicolon = after_signature(masked, close)
            if body is not None:
                definitions.append(Method(path, name, return_type, close + 1, body, close + 1))
            else:
                qualifiers = masked[close + 1:semicolon]
                if re.search(r"=\s*0\s*$", qualifiers):
                    continue  # pure virtual: an interface, not an implementation
                cls = enclosing_class(masked, class_scopes, m.start())
                if cls:
                    declarations[(cls, name)] = (path, return_type, close + 1, semicolon)
    # Out-of-line bodies of the declared methods.
    for path, text in texts.items():
        if not path.endswith(".cpp"):
            continue
        masked = mask_text(text)
        for m in re.finditer(r"\b(\w+)::(\w+)\s*\(", masked):
            key = (m.group(1), m.group(2))
            if key not in declarations:
                continue
            close = matching(masked, m.end() - 1)
            body, _ = after_signature(masked, close)
            if body is None or not re.fullmatch(r"\s*(const\s+)?(noexcept\s+)?(try\s+)?", masked[close + 1:body] + " "):
                continue  # a call, not a definition
            line_start = masked.rfind("\n", 0, m.start()) + 1
            if not re.fullmatch(r"\s*[\w:<>\*\s()]+\s+", masked[line_start:m.start()]) or \
                    re.search(r"\breturn\b", masked[line_start:m.start()]):
                continue  # a qualified name inside an expression
            definitions.append(Method(path, m.group(2), declarations[key][1], close + 1, body, close + 1))
    return definitions, declarations, texts


def is_boundary(text, method):
    qualifiers = text[method.qualifiers_start:method.body_start]
    if "noexcept" not in qualifiers:
        return False
    if method.name in EXEMPT:
        return True
    if not re.search(r"\btry\s*$", qualifiers):
        return False
    masked = mask_text(text)
    end = matching(masked, method.body_start)
    return re.match(r"\s*VX_COM_CATCH", text[end + 1:]) is not None


def handler_for(return_type):
    if return_type == "HRESULT":
        return "VX_COM_CATCH"
    if return_type == "void":
        return "VX_COM_CATCH_VOID"
    if return_type == "VARIANT_BOOL":
        return "VX_COM_CATCH_RETURN(VARIANT_FALSE)"
    return "VX_COM_CATCH_RETURN({})"


def fix(root):
    definitions, declarations, texts = find_methods(root)
    edits = {}  # path -> list of (position, delete_count, insert)

    def add(path, pos, insert, delete=0):
        edits.setdefault(path, []).append((pos, delete, insert))

    for method in definitions:
        text = texts[method.path]
        masked = mask_text(text)
        qualifiers = text[method.qualifiers_start:method.body_start]
        if "noexcept" not in qualifiers:
            add(method.path, method.params_end, " noexcept")
        if method.name in EXEMPT or is_boundary(text, method):
            continue
        if not re.search(r"\btry\s*$", qualifiers):
            line_start = text.rfind("\n", 0, method.body_start) + 1
            if text[line_start:method.body_start].strip() == "":
                add(method.path, line_start, text[line_start:method.body_start] + "try\n")
            else:
                add(method.path, method.body_start, "try ")
        end = matching(masked, method.body_start)
        line_start = text.rfind("\n", 0, end) + 1
        indent = text[line_start:end]
        if indent.strip() == "":
            add(method.path, end + 1, "\n" + indent + handler_for(method.return_type))
        else:
            add(method.path, end + 1, " " + handler_for(method.return_type))
    for (cls, name), (path, _, params_end, semicolon) in declarations.items():
        if "noexcept" not in texts[path][params_end:semicolon]:
            add(path, params_end, " noexcept")
    for path, changes in edits.items():
        text = texts[path]
        for pos, delete, insert in sorted(set(changes), reverse=True):
            text = text[:pos] + insert + text[pos + delete:]
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        if "#include \"platform/com/ComBoundary.h\"" not in text and any(
                "VX_COM_CATCH" in i for _, _, i in changes):
            print("needs #include \"platform/com/ComBoundary.h\": " + os.path.relpath(path, root))
    return len(definitions)


def check(root):
    definitions, declarations, texts = find_methods(root)
    bad = []
    for method in definitions:
        if not is_boundary(texts[method.path], method):
            line = texts[method.path].count("\n", 0, method.params_end) + 1
            bad.append("{}:{}: {} is not an exception boundary".format(
                os.path.relpath(method.path, root), line, method.name))
    for (cls, name), (path, _, params_end, semicolon) in declarations.items():
        if "noexcept" not in texts[path][params_end:semicolon]:
            line = texts[path].count("\n", 0, params_end) + 1
            bad.append("{}:{}: {}::{} is declared without noexcept".format(os.path.relpath(path, root), line,
                                                                        cls, name))
    print("{} COM methods with a body, {} declared out of line; {} not boundaries".format(
        len(definitions), len(declarations), len(bad)))
    for b in bad:
        print(b)
    return 1 if bad or not definitions else 0


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    root = os.path.abspath(args[0] if args else os.path.join(os.path.dirname(__file__), ".."))
    if "--fix" in argv:
        fix(root)
    return check(root)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
