#!/usr/bin/env python3
"""The deployment guide's tables against the code, exactly and both ways.

  guide_check.py REPO

Three tables, each in the Chinese and in the English half of docs/deploy.md,
each between its markers "<!-- NAME -->" and "<!-- /NAME -->":

- progress-lines: one row per line the update run prints, the line in the
  first cell in backticks, "…" for each part that varies. The lines are the
  texts handed to Say() and os::WriteProgressLine() in src/upgrade/.
- window-texts: the texts the window and its message boxes show; every span in
  backticks in a row's first cell is one. The texts are those handed to
  SetWindowText, SetControlText, ShowMessageBox and ShowStartupMessageBox in
  src/app/ and src/host/.
- event-ids: one row per event, its ID in the first cell and its level in the
  second. The IDs and levels are src/app/event_report.*'s and the message
  table's (res/wardkeep_events.mc).

A text's literal parts are read from the call; every other part of the
argument (a variable, a call) is one "…". A call whose argument has no literal
at all carries texts the checker cannot see: it fails unless the comment line
right above it says which texts it may carry, "// guide-texts: "a…", "b"", or
"// guide-texts: none" for a text that is never the program's own (an ERP name
from the platform), or "// guide-texts: forwarded" where it only passes on
texts checked elsewhere. Each named text's literal parts must be in src/.

Every row needs its meaning: at least one more non-empty cell. Both halves
list the same texts; the progress lines also in the same order.
"""
import functools
import re
import sys
from pathlib import Path

ELLIPSIS = "…"
LEVELS = {
    "Information": "Information", "信息": "Information",
    "Warning": "Warning", "警告": "Warning",
    "Error": "Error", "错误": "Error",
}


class Failures:
    def __init__(self):
        self.items = []

    def add(self, text):
        self.items.append(text)


def unescape(body):
    return re.sub(r'\\(["\\n])', lambda m: {"n": "\n"}.get(m.group(1), m.group(1)), body)


def strip_comments(source):
    """Removes // comments (not inside literals) but keeps the lines."""
    out = []
    for line in source.split("\n"):
        result, i, in_string = "", 0, False
        while i < len(line):
            c = line[i]
            if in_string:
                result += c
                if c == "\\" and i + 1 < len(line):
                    result += line[i + 1]
                    i += 1
                elif c == '"':
                    in_string = False
            elif c == '"':
                in_string = True
                result += c
            elif line.startswith("//", i):
                break
            else:
                result += c
            i += 1
        out.append(result)
    return "\n".join(out)


def call_argument(text, start):
    """The text between the parenthesis at `start` and its match."""
    depth, i, in_string = 0, start, False
    while i < len(text):
        c = text[i]
        if in_string:
            if c == "\\":
                i += 1
            elif c == '"':
                in_string = False
        elif c == '"':
            in_string = True
        elif c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
            if depth == 0:
                return text[start + 1:i]
        i += 1
    return None


def split_top(argument, separator):
    parts, depth, current, in_string, i = [], 0, "", False, 0
    while i < len(argument):
        c = argument[i]
        if in_string:
            current += c
            if c == "\\":
                current += argument[i + 1]
                i += 1
            elif c == '"':
                in_string = False
        elif c == '"':
            in_string = True
            current += c
        elif c in "([{":
            depth += 1
            current += c
        elif c in ")]}":
            depth -= 1
            current += c
        elif c == separator and depth == 0:
            parts.append(current)
            current = ""
        else:
            current += c
        i += 1
    parts.append(current)
    return parts


LITERAL = re.compile(r'^\s*(?:std::wstring\s*\(\s*)?((?:L"(?:[^"\\]|\\.)*"\s*)+)\)?\s*$')


def template(argument):
    """The text an argument prints, "…" for what varies; None without a literal."""
    pieces, seen_literal = [], False
    for term in split_top(argument, "+"):
        term = term.strip()
        while term.startswith("(") and call_argument(term, 0) == term[1:-1]:
            term = term[1:-1].strip()
        match = LITERAL.match(term)
        if match:
            seen_literal = True
            pieces.append("".join(unescape(b) for b in re.findall(r'L"((?:[^"\\]|\\.)*)"', match.group(1))))
        elif "+" in term and len(split_top(term, "+")) > 1:
            inner = template(term)
            if inner is None:
                pieces.append(ELLIPSIS)
            else:
                seen_literal = True
                pieces.append(inner)
        else:
            pieces.append(ELLIPSIS)
    text = "".join(pieces)
    text = re.sub(ELLIPSIS + "+", ELLIPSIS, text)
    text = text[:-1] if text.endswith("\n") else text
    # Nothing fixed to see: a variable with at most a line feed added.
    if not seen_literal or not text.replace(ELLIPSIS, "").strip():
        return None
    return text


def marker_above(lines, line_index):
    """The texts a "guide-texts:" comment above the call names, or None."""
    for back in (1, 2):
        if line_index - back < 0:
            return None
        line = lines[line_index - back].strip()
        match = re.match(r"//\s*guide-texts:\s*(.*)$", line)
        if match:
            named = match.group(1).strip()
            if named.startswith(("none", "forwarded")):
                return []
            return [unescape(t) for t in re.findall(r'"((?:[^"\\]|\\.)*)"', named)]
        if not line.startswith("//"):
            return None
    return None


@functools.lru_cache(maxsize=None)
def made_of_literals(part, literals):
    """Whether `part` is written by concatenated literals: the end of one, whole
    ones, the start of another (or lies inside one)."""
    if any(part in literal for literal in literals):
        return True
    return any(any(literal.endswith(part[:i]) for literal in literals) and
               continues_literals(part[i:], literals) for i in range(1, len(part)))


@functools.lru_cache(maxsize=None)
def continues_literals(part, literals):
    if any(literal.startswith(part) for literal in literals):
        return True
    return any(literal and part.startswith(literal) and continues_literals(part[len(literal):], literals)
               for literal in literals)


def code_texts(files, calls, failures, src_literals):
    """Templates of every call's text argument; `calls` maps name -> argument index, or to
    (argument index, the text the callee appends)."""
    texts = set()
    pattern = re.compile(r"(?<![\w:])(?:[\w:.]*[.:>])?(" + "|".join(calls) + r")\s*\(")
    for path in files:
        raw = path.read_text(encoding="utf-8")
        code = strip_comments(raw)
        raw_lines = raw.split("\n")
        for match in pattern.finditer(code):
            before = code[:match.start()].rstrip()
            # A declaration or definition, not a call.
            if re.search(r"(void|bool|std::wstring|auto)\s*$", before) or before.endswith("::"):
                continue
            argument = call_argument(code, match.end() - 1)
            if argument is None:
                continue
            arguments = split_top(argument, ",")
            index, suffix = (calls[match.group(1)] if isinstance(calls[match.group(1)], tuple)
                             else (calls[match.group(1)], ""))
            if index >= len(arguments):
                continue
            line_index = code.count("\n", 0, match.start())
            text = template(arguments[index])
            where = f"{path.name}:{line_index + 1}"
            # "forwarded" and "none" hold even where a template could be made: the
            # texts are their callers' (or not the program's own at all).
            if marker_above(raw_lines, line_index) == []:
                continue
            if text is not None:
                texts.add(text + suffix)
                continue
            named = marker_above(raw_lines, line_index)
            if named is None:
                failures.add(f"{where}: {match.group(1)}({arguments[index].strip()}) carries a "
                             "text the check cannot see; name it in a \"// guide-texts:\" comment above")
                continue
            for text in named:
                for part in filter(None, text.split(ELLIPSIS)):
                    if not made_of_literals(part, tuple(src_literals)):
                        failures.add(f"{where}: the guide-texts comment names \"{text}\", "
                                     f"but \"{part}\" is in no literal in src/")
                texts.add(text + suffix)
    return texts


def tables(guide, name, failures):
    """The two halves' rows of a marked table: lists of cell lists."""
    found, inside, rows = [], False, []
    for line in guide.split("\n"):
        if line.strip() == f"<!-- {name} -->":
            inside, rows = True, []
        elif line.strip() == f"<!-- /{name} -->":
            inside = False
            found.append(rows)
        elif inside and line.startswith("|") and not re.match(r"^\|\s*-", line):
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            rows.append(cells)
    if len(found) != 2:
        failures.add(f"docs/deploy.md needs the table \"{name}\" in both halves, found {len(found)}")
        return None
    # The first row of each is the header.
    return [half[1:] for half in found]


def first_spans(cell):
    return re.findall(r"`([^`]*)`", cell)


def matches(template_text, shown):
    if template_text == shown:
        return True
    pattern = ".*".join(re.escape(p) for p in template_text.split(ELLIPSIS))
    return re.fullmatch(pattern, shown, re.S) is not None


def check_meaning(rows, name, failures):
    for cells in rows:
        if len(cells) < 2 or not any(c for c in cells[1:]):
            failures.add(f"{name}: the row \"{cells[0]}\" says nothing about its meaning")


def check_progress(repo, guide, failures, src_literals):
    halves = tables(guide, "progress-lines", failures)
    if halves is None:
        return
    files = sorted((repo / "src" / "upgrade").glob("*.cpp"))
    # SayNotReplaced (the upgrade's refusals) ends each reason alike; the ending
    # is taken from its one Say, which must stay in that form.
    upgrade = (repo / "src" / "upgrade" / "jar_upgrade.cpp").read_text(encoding="utf-8")
    ending = re.search(r'void SayNotReplaced\(const std::wstring& reason\) \{\s*'
                       r'(?://[^\n]*\s*)*Say\(reason \+ L"([^"]*)"\);', upgrade)
    if ending is None:
        failures.add("jar_upgrade.cpp: SayNotReplaced no longer reads Say(reason + L\"…\")")
    calls = {"Say": 0, "WriteProgressLine": 0}
    if ending is not None:
        calls["SayNotReplaced"] = (0, unescape(ending.group(1)))
    code = code_texts(files, calls, failures, src_literals)
    lines = []
    for half, language in zip(halves, ("Chinese", "English")):
        check_meaning(half, f"progress-lines ({language})", failures)
        listed = []
        for cells in half:
            spans = first_spans(cells[0])
            if len(spans) != 1:
                failures.add(f"progress-lines ({language}): the row \"{cells[0]}\" needs one line in backticks")
                continue
            listed.append(spans[0])
        lines.append(listed)
        for line in sorted(set(listed) - code):
            failures.add(f"progress-lines ({language}): \"{line}\" is listed, but the code prints no such line")
        for line in sorted(code - set(listed)):
            failures.add(f"progress-lines ({language}): the code prints \"{line}\", which is not listed")
        for line in sorted({l for l in listed if listed.count(l) > 1}):
            failures.add(f"progress-lines ({language}): \"{line}\" is listed twice")
    if lines[0] != lines[1]:
        failures.add("progress-lines: the Chinese and the English half list different lines or orders")


def check_window(repo, guide, failures, src_literals):
    halves = tables(guide, "window-texts", failures)
    if halves is None:
        return
    files = sorted((repo / "src" / "app").glob("*.cpp")) + sorted((repo / "src" / "host").glob("*.cpp"))
    code = code_texts(files, {"SetWindowText": 0, "SetControlText": 1, "ShowMessageBox": 0,
                              "ShowStartupMessageBox": 0}, failures, src_literals)
    spans_by_half = []
    for half, language in zip(halves, ("Chinese", "English")):
        check_meaning(half, f"window-texts ({language})", failures)
        spans = [s for cells in half for s in first_spans(cells[0])]
        spans_by_half.append(set(spans))
        for span in sorted(set(spans)):
            if not any(matches(text, span) for text in code):
                failures.add(f"window-texts ({language}): \"{span}\" is listed, but the program shows no such text")
        for text in sorted(code):
            if not any(matches(text, span) for span in spans):
                failures.add(f"window-texts ({language}): the program shows \"{text}\", which is not listed")
    if spans_by_half[0] != spans_by_half[1]:
        failures.add("window-texts: the Chinese and the English half list different texts")


def check_events(repo, guide, failures):
    halves = tables(guide, "event-ids", failures)
    header = (repo / "src" / "app" / "event_report.h").read_text(encoding="utf-8")
    source = (repo / "src" / "app" / "event_report.cpp").read_text(encoding="utf-8")
    ids = dict(re.findall(r"^\s*(\w+) = (\d+),", header, re.M))
    code = set()
    for name, level in re.findall(r"\{EventId::(\w+), Level::(\w+), \d+\}", source):
        if name not in ids:
            failures.add(f"event_report.cpp defines {name}, which has no ID")
            continue
        code.add((int(ids[name]), level))
    if {i for i, _ in code} != {int(v) for v in ids.values()}:
        failures.add("event_report: every ID needs its definition, and only those")
    table = (repo / "res" / "wardkeep_events.mc").read_text(encoding="utf-8")
    severities = {"Informational": "Information", "Warning": "Warning", "Error": "Error"}
    mc = {(int(i), severities.get(s, s))
          for i, s in re.findall(r"^MessageId=(\d+)\s*\nSeverity=(\w+)", table, re.M)}
    if mc != code:
        failures.add(f"res/wardkeep_events.mc has {sorted(mc)}, the code {sorted(code)}")
    if halves is None:
        return
    for half, language in zip(halves, ("Chinese", "English")):
        check_meaning(half, f"event-ids ({language})", failures)
        listed = set()
        for cells in half:
            level = LEVELS.get(cells[1].strip("` ")) if len(cells) > 1 else None
            if not cells[0].strip("` ").isdigit() or level is None:
                failures.add(f"event-ids ({language}): the row \"{'|'.join(cells)}\" needs an ID and a level")
                continue
            listed.add((int(cells[0].strip("` ")), level))
        for entry in sorted(listed - code):
            failures.add(f"event-ids ({language}): {entry} is listed, but the program has no such event")
        for entry in sorted(code - listed):
            failures.add(f"event-ids ({language}): the program writes {entry}, which is not listed")


def main():
    repo = Path(sys.argv[1]).resolve()
    guide = (repo / "docs" / "deploy.md").read_text(encoding="utf-8")
    src_literals = []
    for path in sorted((repo / "src").rglob("*")):
        if path.suffix in (".cpp", ".h"):
            src_literals += [unescape(b) for b in
                             re.findall(r'L"((?:[^"\\]|\\.)*)"', path.read_text(encoding="utf-8"))]
    failures = Failures()
    check_progress(repo, guide, failures, src_literals)
    check_window(repo, guide, failures, src_literals)
    check_events(repo, guide, failures)
    for failure in failures.items:
        print("FAILED:", failure)
    if failures.items:
        print(f"{len(failures.items)} failure(s): docs/deploy.md's tables and the code disagree")
        return 1
    print("progress lines, window texts and event IDs: the guide and the code agree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
