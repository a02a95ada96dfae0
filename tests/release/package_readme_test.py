#!/usr/bin/env python3
"""The package README's links, held to a package folder, and its template."""

import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / 'tools' / 'release'))
from package_readme import broken_links, render  # noqa: E402

# (case, markdown, broken links expected) in a package holding README.md,
# devidudi.exe, docs/lint-rules.md and src/names/.
LINK_CASES = [
    ('a file of the package', '[rules](docs/lint-rules.md)', []),
    ('a folder of the package', '[sources](src/)', []),
    ('a file with an anchor', '[DS001](docs/lint-rules.md#ds001)', []),
    ('a link with a title', '[rules](docs/lint-rules.md "the rules")', []),
    ('a missing file with a title', '[window](docs/window.png "the window")', ['docs/window.png']),
    ('a link in angle brackets', '[rules](<docs/lint-rules.md>)', []),
    ('a web address', '[site](https://example.org/tools/)', []),
    ('a mail address', '[mail](mailto:dev@example.org)', []),
    ('an anchor of the page', '[up](#what-the-package-holds)', []),
    ('a picture the package lacks', '![window](docs/progress-window.png)', ['docs/progress-window.png']),
    ('a folder the package lacks', '[tests](tests/)', ['tests/']),
    ('a file the package lacks beside one it holds',
     'see [exe](devidudi.exe) and [lib](lib/libdevidudi_updater_client.a)',
     ['lib/libdevidudi_updater_client.a']),
    ('a link that climbs out of the package', '[tools](../tools/)', ['../tools/']),
    ('a link out and back in', '[exe](../package/devidudi.exe)', []),
    ('an absolute path', '[passwd](/etc/passwd)', ['/etc/passwd']),
    # A page under docs/ links from its own folder.
    ('a page beside a page', '[rules](lint-rules.md)', [], 'docs'),
    ('a path from the package, in a page', '[rules](docs/lint-rules.md)', ['docs/lint-rules.md'], 'docs'),
    ('a page up to the package', '[exe](../devidudi.exe)', [], 'docs'),
    ('a page climbing out of the package', '[tools](../../tools/)', ['../../tools/'], 'docs'),
]


class PackageReadmeTest(unittest.TestCase):
    def test_links(self):
        with tempfile.TemporaryDirectory() as scratch:
            package = Path(scratch) / 'package'
            (package / 'docs').mkdir(parents=True)
            (package / 'src' / 'names').mkdir(parents=True)
            (package / 'docs' / 'lint-rules.md').write_text('rules')
            (package / 'devidudi.exe').write_bytes(b'MZ')
            (Path(scratch) / 'tools').mkdir()
            for case, text, expected, *folder in LINK_CASES:
                with self.subTest(case=case):
                    page_folder = package / folder[0] if folder else None
                    self.assertEqual(broken_links(text, package, page_folder), expected, case)

    def test_render_fills_every_placeholder_or_refuses(self):
        self.assertEqual(render('@TRIPLET@-g++ for @WINDOWS@, e-mail a@b.c',
                                {'TRIPLET': 'i686-w64-mingw32', 'WINDOWS': '32-bit Windows'}),
                         'i686-w64-mingw32-g++ for 32-bit Windows, e-mail a@b.c')
        with self.assertRaisesRegex(KeyError, '@GCC_DLL@'):
            render('needs `@GCC_DLL@`', {'TRIPLET': 'x86_64-w64-mingw32'})


if __name__ == '__main__':
    unittest.main()
