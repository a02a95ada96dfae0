"""The README inside a release package: filled in from its template, and held
to the package it lies in (tools/release/build and tools/release/check-package
both use this)."""

import re
from pathlib import Path, PurePosixPath

# [text](target) and ![alt](target), with an optional "title" after the target.
LINK = re.compile(r'!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)')
PLACEHOLDER = re.compile(r'@([A-Z_]+)@')


def render(template, values):
    """The template with every @NAME@ replaced by values[NAME]; a name the
    values lack is an error, so that no placeholder reaches a package."""
    missing = sorted({name for name in PLACEHOLDER.findall(template) if name not in values})
    if missing:
        raise KeyError(f'no value for {", ".join("@" + name + "@" for name in missing)}')
    return PLACEHOLDER.sub(lambda found: values[found.group(1)], template)


def relative_links(text):
    """The link targets that name a file or folder of the package: no web
    address, no mail address, no anchor within the page."""
    targets = []
    for target in LINK.findall(text):
        if re.match(r'^[a-zA-Z][a-zA-Z0-9+.-]*:', target) or target.startswith('#'):
            continue
        targets.append(target.split('#', 1)[0])
    return targets


def broken_links(text, package, page_folder=None):
    """The relative links of text that name nothing inside the folder package
    (a link that climbs out of it counts as broken, even when the target
    exists there). Links are relative to page_folder, the folder of the page
    the text is from: by default the package's own, where its README lies."""
    package = Path(package).resolve()
    base = Path(page_folder).resolve() if page_folder else package
    broken = []
    for target in relative_links(text):
        path = PurePosixPath(target)
        resolved = (base / path).resolve()
        if path.is_absolute() or not resolved.is_relative_to(package) or not resolved.exists():
            broken.append(target)
    return broken
