"""Writes Python values as readable Lua table constructors for the scene descriptions."""

import re

_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")
_KEYWORDS = {"and", "break", "do", "else", "elseif", "end", "false", "for", "function", "if", "in", "local",
             "nil", "not", "or", "repeat", "return", "then", "true", "until", "while"}


def number(value):
    if value == int(value) and abs(value) < 1e15:
        return str(int(value))
    # Nine significant digits hold every float the file stores; more only adds noise.
    text = "%.9g" % value
    return text


def string(value):
    out = ['"']
    for ch in value:
        if ch in '"\\':
            out.append("\\" + ch)
        elif ch == "\n":
            out.append("\\n")
        elif ord(ch) < 32:
            out.append("\\%d" % ord(ch))
        else:
            out.append(ch)
    out.append('"')
    return "".join(out)


def key(name):
    return name if _NAME.match(name) and name not in _KEYWORDS else "[%s]" % string(name)


class Raw:
    """Lua source written as it is (a generator call)."""

    def __init__(self, text):
        self.text = text


def value(v, indent="", width=100):
    if isinstance(v, Raw):
        return v.text
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, (int, float)):
        return number(v)
    if isinstance(v, str):
        return string(v)
    if isinstance(v, dict):
        items = ["%s = %s" % (key(k), value(x, indent + "    ", width)) for k, x in v.items()]
    else:
        items = [value(x, indent + "    ", width) for x in v]
    if not items:
        return "{}"
    flat = "{ " + ", ".join(items) + " }"
    if len(flat) + len(indent) <= width and "\n" not in flat:
        return flat
    inner = indent + "    "
    return "{\n" + "".join(inner + item + ",\n" for item in items) + indent + "}"
