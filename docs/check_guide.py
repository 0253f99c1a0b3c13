#!/usr/bin/env python3
"""Runs the examples of docs/guide.md and reports those whose result differs from the guide.

    python3 docs/check_guide.py [KAVO]

KAVO is the interpreter (default: build/kavo under the repository root). Three kinds of
example are checked, each run as main.kavo in a temporary folder of its own:

- a ```kavo block followed by an ```output block: the program's standard output, with CR LF
  read as a line break, must be the output block;
- a row of the built-in tables whose Value cell is a quoted text, such as `"ab"`: the
  example is run as  main write("[" EXAMPLE "]")  and the output must end with "[ab]";
  a Value cell "prints `X`" or "prints `X` and CR LF" compares the whole output instead.
  The Example cell may add "with input `TEXT`" (standard input), "with `v` holding `X`"
  or "after `CALLS`" (calls made before the example);
- a row of the eval table (Expression, Value): eval of the expression must give the value.
"""
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GUIDE = os.path.join(ROOT, "docs", "guide.md")


def run(kavo, program, stdin=""):
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "main.kavo"), "w") as f:
            f.write(program + "\n")
        done = subprocess.run([kavo], cwd=folder, input=stdin.encode(), capture_output=True,
                              timeout=20)
    return done.stdout.decode("latin-1"), done.returncode


def code_cells(cell):
    return re.findall(r"`([^`]*)`", cell)


def split_row(line):
    # Table cells, with "\|" kept inside a cell.
    cells = re.split(r"(?<!\\)\|", line.strip())[1:-1]
    return [c.strip().replace("\\|", "|") for c in cells]


def blocks(text):
    """(program, expected output) for each kavo block that an output block follows."""
    found = re.findall(r"```kavo\n(.*?)```\s*```output\n(.*?)```", text, re.S)
    return [(program.rstrip("\n"), output) for program, output in found]


def builtin_rows(text):
    """(example cell, value cell) of the tables whose header has Example and Value."""
    rows, header = [], None
    for line in text.splitlines():
        if not line.startswith("|"):
            header = None
            continue
        cells = split_row(line)
        if header is None:
            header = cells
            continue
        if set(cells) <= {"---", ""}:
            continue
        if "Example" in header and "Value" in header:
            rows.append((cells[header.index("Example")], cells[header.index("Value")]))
    return rows


def eval_rows(text):
    rows, header = [], None
    for line in text.splitlines():
        if not line.startswith("|"):
            header = None
            continue
        cells = split_row(line)
        if header is None:
            header = cells
            continue
        if header[:2] == ["Expression", "Value"] and not set(cells) <= {"---"}:
            rows.append((code_cells(cells[0])[0], cells[1]))
    return rows


def main():
    kavo = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, "build", "kavo")
    if not os.access(kavo, os.X_OK):
        sys.exit(f"check_guide: no interpreter at {kavo}")
    text = open(GUIDE).read()
    checked, failed = 0, []

    for program, expected in blocks(text):
        out, _ = run(kavo, program)
        checked += 1
        if out.replace("\r\n", "\n") != expected:
            failed.append((program, expected, out))

    for example, value in builtin_rows(text):
        code = code_cells(example)
        if not code:
            continue
        call, rest = code[0], example.split("`" + code[0] + "`", 1)[1]
        stdin, prelude = "", ""
        m = re.search(r"with input `([^`]*)`", rest)
        if m:
            stdin = m.group(1) + "\n"
        m = re.search(r"with `(\w+)` holding `([^`]*)`", rest)
        if m:
            prelude = f'new({m.group(1)} "{m.group(2)}")'
        m = re.search(r"after `([^`]*)`", rest)
        if m:
            prelude = m.group(1)
        m = re.fullmatch(r'`"([^"`]*)"`', value)
        p = re.fullmatch(r"prints (?:`([^`]*)`)?(?: and )?(CR LF)?", value)
        if m:
            out, _ = run(kavo, f'main {{ {prelude} write("[" {call} "]") }}', stdin)
            good = out.endswith("[" + m.group(1) + "]")
        elif p:
            out, _ = run(kavo, f"main {{ {prelude} {call} }}", stdin)
            good = out == (p.group(1) or "") + ("\r\n" if p.group(2) else "")
        else:
            continue
        checked += 1
        if not good:
            failed.append((call, value, out))

    for expression, value in eval_rows(text):
        out, _ = run(kavo, f'main write(eval("{expression}"))')
        checked += 1
        if out != value:
            failed.append((expression, value, out))

    for example, expected, got in failed:
        print(f"--- example:\n{example}\n--- the guide shows:\n{expected}\n--- kavo gives:\n{got}\n")
    print(f"{checked} examples checked, {len(failed)} differ")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
