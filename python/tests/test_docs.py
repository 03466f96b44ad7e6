"""docs/python.md stays true: every Python example runs in a fresh interpreter against the
installed package and prints exactly the output the page shows under it; the chart example
draws its PNG."""

import os
import re
from pathlib import Path

import pytest

from conftest import REPOSITORY, run_python

PAGE = Path(os.environ.get("KALTRA_DOCS") or REPOSITORY / "docs") / "python.md"


def examples():
    text = PAGE.read_text(encoding="utf-8")
    found = re.findall(r"```python\n(.*?)```(?:\n\n```text\n(.*?)```)?", text, re.S)
    return [pytest.param(code, shown, id=f"example {i + 1}") for i, (code, shown) in enumerate(found)]


def test_the_page_has_its_examples():
    assert len(examples()) >= 4


@pytest.mark.parametrize("code, shown", examples())
def test_every_example_prints_what_the_page_shows(code, shown, tmp_path):
    printed = run_python(code, cwd=tmp_path)
    assert printed == shown
    for name in re.findall(r'savefig\("([^"]+)"', code):
        picture = (tmp_path / name).read_bytes()
        assert picture.startswith(b"\x89PNG"), name
        assert len(picture) > 20000, f"{name} is nearly empty"
