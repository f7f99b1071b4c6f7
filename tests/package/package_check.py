"""Checks the Debian package that `cmake --build build --target package`
left in the build folder: its control fields and version, its files and
their modes, the hardening of its binaries, Debian's own checkers (lintian,
desktop-file-validate, appstreamcli, hardening-check), that `cmake --install`
into a prefix lays out the same files, and that the same sources built in
other folders give the same bytes."""

from __future__ import annotations

import gzip
import hashlib
import os
import re
import shutil
import stat
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ["KARVEL_BUILD_DIR"])
# The version the build folder's configuration gave the package (building it
# configures again when HEAD has moved), and the project's release.
VERSION = re.search(r'^set\(CPACK_PACKAGE_VERSION "(.+)"\)$',
                    (BUILD / "CPackConfig.cmake").read_text(), re.M)[1]
RELEASE = re.search(r"^project\(karvel VERSION ([\d.]+) ", (ROOT / "CMakeLists.txt").read_text(), re.M)[1]
APP_ID = os.environ["KARVEL_APP_ID"]
DEB = BUILD / f"karvel_{VERSION}_amd64.deb"

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
FILES = {
    "usr/bin/karvel",
    "usr/lib/karvel/karvel",
    "usr/lib/karvel/sound/libkarvel-sound.so",
    "usr/lib/karvel/Zikan.wav",
    f"usr/share/applications/{APP_ID}.desktop",
    f"usr/share/metainfo/{APP_ID}.metainfo.xml",
    f"usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg",
    "usr/share/doc/karvel/copyright",
    "usr/share/doc/karvel/changelog.gz",
    "usr/share/man/man1/karvel.1.gz",
} | {f"usr/share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in ICON_SIZES}

# lintian warnings accepted, by tag, with the reason; errors never are.
ACCEPTED_WARNINGS: dict[str, str] = {}


def run(*args: str, **kw) -> subprocess.CompletedProcess:
    return subprocess.run(args, capture_output=True, text=True, **kw)


def tree(root: Path) -> dict[str, Path]:
    """Files and links below `root` (not folders), by their relative path."""
    return {str(p.relative_to(root)): p for p in root.rglob("*") if not p.is_dir() or p.is_symlink()}


def setUpModule():
    global UNPACKED, _tmp
    if not DEB.is_file():
        raise AssertionError(f"no package {DEB}")
    _tmp = tempfile.TemporaryDirectory()
    UNPACKED = Path(_tmp.name)
    subprocess.run(["dpkg-deb", "-x", str(DEB), str(UNPACKED)], check=True)


def tearDownModule():
    _tmp.cleanup()


class Control(unittest.TestCase):
    def field(self, name: str) -> str:
        return run("dpkg-deb", "-f", str(DEB), name, check=True).stdout.strip()

    def test_identity(self):
        self.assertEqual(self.field("Package"), "karvel")
        self.assertEqual(self.field("Version"), VERSION)
        self.assertEqual(self.field("Architecture"), "amd64")
        self.assertEqual(self.field("Section"), "education")

    def test_dependencies(self):
        depends = {d.split()[0] for d in self.field("Depends").split(", ")}
        # From the libraries the program links (dpkg-shlibdeps) ...
        for library in ("libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                        "libqt6multimedia6"):
            self.assertIn(library, depends)
        # ... and the faces the documents fall back to.
        for font in ("fonts-ipafont-gothic", "fonts-ipafont-mincho", "fonts-liberation"):
            self.assertIn(font, depends)
        self.assertEqual(self.field("Recommends"), "qt6-wayland")


class Files(unittest.TestCase):
    def test_file_list_and_modes(self):
        files = tree(UNPACKED)
        self.assertEqual(set(files), FILES)
        link = files["usr/bin/karvel"]
        self.assertTrue(link.is_symlink())
        self.assertEqual(os.readlink(link), "../lib/karvel/karvel")
        for name, path in files.items():
            if path.is_symlink():
                continue
            mode = stat.S_IMODE(path.stat().st_mode)
            self.assertEqual(mode, 0o755 if name == "usr/lib/karvel/karvel" else 0o644, name)

    def test_files_are_the_sources(self):
        pairs = {
            "usr/lib/karvel/Zikan.wav": ROOT / "resources" / "Zikan.wav",
            f"usr/share/applications/{APP_ID}.desktop": ROOT / "resources" / f"{APP_ID}.desktop",
            f"usr/share/metainfo/{APP_ID}.metainfo.xml":
                ROOT / "resources" / f"{APP_ID}.metainfo.xml",
            "usr/share/doc/karvel/copyright": ROOT / "resources" / "package" / "copyright",
        }
        for installed, source in pairs.items():
            content = (UNPACKED / installed).read_bytes()
            if installed.endswith(".metainfo.xml"):  # less a development build's release
                content = re.sub(rb' *<release version="[^"]*\+git.*?</release>\n', b"", content,
                                 count=1, flags=re.S)
            self.assertEqual(content, source.read_bytes(), installed)

    def test_version_in_changelog_and_metadata(self):
        """The newest entry of both is this build's; a build of an unreleased
        commit has one of its own before the release's."""
        with gzip.open(UNPACKED / "usr/share/doc/karvel/changelog.gz", "rt", encoding="utf-8") as f:
            changelog = re.findall(r"^karvel \(([^)]+)\) ", f.read(), re.M)
        metainfo = ET.parse(UNPACKED / f"usr/share/metainfo/{APP_ID}.metainfo.xml")
        releases = [r.get("version") for r in metainfo.iter("release")]
        expected = [VERSION] if VERSION == RELEASE else [VERSION, RELEASE]
        self.assertEqual(changelog[:len(expected)], expected)
        self.assertEqual(releases[:len(expected)], expected)

    def test_version_tells_builds_apart_in_apt_order(self):
        """release+gitDATE.DISTANCE.HASH: this commit's date and hash, after the
        release and before the next one."""
        if VERSION == RELEASE or not (ROOT / ".git").exists():
            self.skipTest("a release, or not a git checkout")
        match = re.fullmatch(rf"{re.escape(RELEASE)}\+git(\d{{8}})\.[1-9]\d*\.([0-9a-f]{{7,}})", VERSION)
        self.assertTrue(match, VERSION)
        head = run("git", "-C", str(ROOT), "log", "-1", "--format=%cd %h", "--abbrev=7",
                   "--date=format-local:%Y%m%d", env=dict(os.environ, TZ="UTC"), check=True)
        self.assertEqual(" ".join(match.groups()), head.stdout.strip())
        following = re.sub(r"\d+$", lambda m: str(int(m[0]) + 1), RELEASE)
        for lower, higher in ((RELEASE, VERSION), (VERSION, following)):
            run("dpkg", "--compare-versions", lower, "lt", higher, check=True)

    def test_cmake_install_lays_out_the_same_files(self):
        with tempfile.TemporaryDirectory() as prefix:
            run("cmake", "--install", str(BUILD), "--prefix", prefix, check=True)
            installed = tree(Path(prefix))
            self.assertEqual({"usr/" + name for name in installed}, FILES)
            self.assertEqual(os.readlink(installed["bin/karvel"]), "../lib/karvel/karvel")
            self.assertTrue((Path(prefix) / "bin" / "karvel").resolve().is_file())


class Binaries(unittest.TestCase):
    """The program and its sound module as Debian's flags build them, with no
    library search path and no compiler identification."""

    def test_hardened_stripped_no_runpath(self):
        paths = [str(UNPACKED / f"usr/lib/karvel/{name}") for name in ("karvel", "sound/libkarvel-sound.so")]
        # Neither binary calls a fortifiable libc function with a size the
        # compiler can know, so no fortified call shows that fortification is on;
        # Debian 12's flags have no control-flow protection.
        result = run("hardening-check", "--nofortify", "--nocfprotection", *paths)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for path in paths:
            dynamic = run("readelf", "-d", "-W", path, check=True).stdout
            self.assertNotRegex(dynamic, r"\((RPATH|RUNPATH)\)", path)
            sections = run("readelf", "-S", "-W", path, check=True).stdout
            self.assertNotIn(" .comment ", sections, path)


class Reproducible(unittest.TestCase):
    def test_other_folders_build_the_same_bytes(self):
        """The working tree's files, with git's record of the commit, copied to
        another folder and built in a third with another umask and time zone, a
        little later: the same package, to the byte."""
        if not (ROOT / ".git").exists():
            self.skipTest("not a git checkout")
        with tempfile.TemporaryDirectory() as tmp:
            source, build = Path(tmp, "karvel-copy"), Path(tmp, "elsewhere", "b")
            run("git", "clone", "--quiet", "--shared", "--no-checkout", str(ROOT), str(source), check=True)
            names = run("git", "-C", str(ROOT), "ls-files", "-z", "--cached", "--others",
                        "--exclude-standard", check=True).stdout.split("\0")
            for name in filter(lambda name: (ROOT / name).is_file(), filter(None, names)):
                (source / name).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(ROOT / name, source / name)
            for command in (["cmake", "-S", source, "-B", build, "-G", "Ninja"],
                            ["cmake", "--build", build, "--target", "package"]):
                result = subprocess.run(command, capture_output=True, text=True, umask=0o002,
                                        env=dict(os.environ, TZ="Asia/Tokyo"))
                self.assertEqual(result.returncode, 0, result.stdout[-4000:] + result.stderr[-4000:])
            sums = [hashlib.sha256(deb.read_bytes()).hexdigest() for deb in (DEB, build / DEB.name)]
            self.assertEqual(sums[0], sums[1], f"{DEB}, {build / DEB.name}")


class Checkers(unittest.TestCase):
    def test_lintian(self):
        result = run("lintian", "--no-tag-display-limit", str(DEB))
        tags = [line for line in result.stdout.splitlines() if re.match(r"^[EW]: ", line)]
        errors = [t for t in tags if t.startswith("E: ")]
        self.assertFalse(errors, "\n".join(errors))
        warnings = [t for t in tags if t.startswith("W: ")
                    and t.split()[2] not in ACCEPTED_WARNINGS]
        self.assertFalse(warnings, "\n".join(warnings))

    def test_desktop_entry(self):
        entry = UNPACKED / f"usr/share/applications/{APP_ID}.desktop"
        result = run("desktop-file-validate", str(entry))
        self.assertEqual((result.returncode, result.stdout.strip()), (0, ""), result.stderr)
        lines = entry.read_text(encoding="utf-8").splitlines()
        self.assertIn(f"Icon={APP_ID}", lines)
        self.assertIn("Exec=karvel", lines)
        self.assertIn("Categories=Education;", lines)
        for key in ("Name", "Comment"):
            self.assertTrue(any(l.startswith(f"{key}=") for l in lines), key)
            self.assertTrue(any(l.startswith(f"{key}[ja]=") for l in lines), key)

    def test_appstream(self):
        result = run("appstreamcli", "validate", "--no-net",
                     str(UNPACKED / f"usr/share/metainfo/{APP_ID}.metainfo.xml"))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # The installed tree as a whole: the component, its desktop entry
        # and its icon found together.
        result = run("appstreamcli", "validate-tree", "--no-net", str(UNPACKED))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main()
