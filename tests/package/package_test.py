#!/usr/bin/env python3
"""The Debian package: built with cpack into a temporary folder, its control fields read, unpacked
with dpkg-deb -x and checked file by file; the unpacked programs are run without a display and
with a private HOME, the panel once on the offscreen platform over a network route, and the
desktop entry, AppStream metadata and manual pages are validated."""

import argparse
import gzip
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile

ICON_SIZES = (16, 32, 48, 64, 128, 256)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=120, **kwargs)


def tool(name):
    path = shutil.which(name)
    if path is None:
        sys.exit(f"package test: {name} is missing; scripts/setup.sh --deps-only installs it")
    return path


def expected_files(app_id, net_module):
    files = {
        "usr/bin/quorvel",
        f"usr/{net_module}",
        "usr/bin/quorvel-sim",
        f"usr/share/applications/{app_id}.desktop",
        f"usr/share/metainfo/{app_id}.metainfo.xml",
        "usr/share/icons/hicolor/scalable/apps/quorvel.svg",
        "usr/share/man/man1/quorvel.1.gz",
        "usr/share/man/man1/quorvel-sim.1.gz",
        "usr/share/doc/quorvel/copyright",
        "usr/share/doc/quorvel/changelog.gz",
    }
    files.update(f"usr/share/icons/hicolor/{n}x{n}/apps/quorvel.png" for n in ICON_SIZES)
    return files


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def check_control(deb, version, arch):
    fields = {}
    for name in ("Package", "Version", "Architecture", "Section", "Depends", "Maintainer"):
        fields[name] = run(["dpkg-deb", "--field", deb, name]).stdout.strip()
    check(fields["Package"] == "quorvel", f"Package: {fields['Package']!r}")
    check(fields["Version"] == version, f"Version: {fields['Version']!r}, expected {version}")
    check(fields["Architecture"] == arch, f"Architecture: {fields['Architecture']!r}")
    check(fields["Section"] == "hamradio", f"Section: {fields['Section']!r}")
    check("<" in fields["Maintainer"] and fields["Maintainer"].endswith(">"), f"Maintainer: {fields['Maintainer']!r}")
    # Worked out from the programs' own libraries, not written by hand.
    depends = fields["Depends"]
    for library in ("libc6", "libqt6core6", "libqt6network6", "libqt6serialport6", "libqt6widgets6", "libxcb1"):
        check(library in depends, f"Depends names {library}: {depends!r}")


def check_files(root, app_id, net_module, version, build, source):
    present = set()
    for folder, _, names in os.walk(root):
        for name in names:
            present.add(os.path.relpath(os.path.join(folder, name), root))
    expected = expected_files(app_id, net_module)
    check(present == expected,
          f"package files differ: missing {sorted(expected - present)}, unexpected {sorted(present - expected)}")

    for n in ICON_SIZES:
        path = os.path.join(root, f"usr/share/icons/hicolor/{n}x{n}/apps/quorvel.png")
        if os.path.exists(path):
            check(png_size(path) == (n, n), f"{n}x{n} icon is {png_size(path)}")

    for page in ("quorvel", "quorvel-sim"):
        path = os.path.join(root, f"usr/share/man/man1/{page}.1.gz")
        if os.path.exists(path):
            with gzip.open(path, "rt", encoding="utf-8") as f:
                check(f.read().startswith(".TH "), f"{page}.1.gz is a manual page")

    changelog = os.path.join(root, "usr/share/doc/quorvel/changelog.gz")
    if os.path.exists(changelog):
        with gzip.open(changelog, "rt", encoding="utf-8") as f:
            check(f.readline().startswith(f"quorvel ({version}) "), "the changelog's first entry is this version")

    copyright_path = os.path.join(root, "usr/share/doc/quorvel/copyright")
    if os.path.exists(copyright_path):
        with open(copyright_path, encoding="utf-8") as f:
            text = f.read()
        check("License: GPL-3+" in text and "either version 3" in text, "copyright names GPL-3.0-or-later")

    # Stripped, no search path into the build, and nothing that points back at the source tree.
    for program in ("quorvel", "quorvel-sim"):
        path = os.path.join(root, "usr/bin", program)
        if not os.path.exists(path):
            continue
        check(os.stat(path).st_mode & 0o777 == 0o755, f"{program} is mode 755")
        sections = run(["readelf", "--section-headers", "--wide", path]).stdout
        check(".debug_info" not in sections and ".symtab" not in sections, f"{program} is stripped")
        dynamic = run(["readelf", "--dynamic", path]).stdout
        check("RPATH" not in dynamic and "RUNPATH" not in dynamic, f"{program} has no library search path")
        with open(path, "rb") as f:
            data = f.read()
        for tree in (build, source):
            check(os.fsencode(tree) not in data, f"{program} holds the path {tree}")


def check_programs(root, version):
    home = os.path.join(root, "home")
    os.mkdir(home)
    env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "XDG_", "WAYLAND", "DISPLAY"))}
    env["HOME"] = home
    bin_dir = os.path.join(root, "usr/bin")

    result = run([os.path.join(bin_dir, "quorvel"), "--version"], env=env)
    check(result.returncode == 0 and result.stdout == f"Quorvel {version}\n",
          f"quorvel --version: status {result.returncode}, {result.stdout!r} {result.stderr!r}")
    result = run([os.path.join(bin_dir, "quorvel"), "--help"], env=env)
    check(result.returncode == 0 and result.stdout.startswith("Usage: quorvel"),
          f"quorvel --help: status {result.returncode}, {result.stderr!r}")
    result = run([os.path.join(bin_dir, "quorvel-sim"), "--help"], env=env)
    check(result.returncode == 0 and result.stdout.startswith("Usage: quorvel-sim"),
          f"quorvel-sim --help: status {result.returncode}, {result.stderr!r}")
    result = run([os.path.join(bin_dir, "quorvel-sim"), "--version"], env=env)
    check(result.returncode == 0 and result.stdout == f"quorvel-sim {version}\n",
          f"quorvel-sim --version: status {result.returncode}, {result.stdout!r}")
    check(os.listdir(home) == [], f"--help and --version wrote into HOME: {os.listdir(home)}")
    check_network_route(os.path.join(bin_dir, "quorvel"), env)


def check_network_route(quorvel, env):
    """Networking is a module the program loads from where the package installed it, found from the
    program's own folder: a raw TCP route reaches a listener and the first command arrives."""
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        listener.settimeout(30)
        port = listener.getsockname()[1]
        program = subprocess.Popen([quorvel, "--radio", f"tcp:127.0.0.1:{port}"],
                                   env=dict(env, QT_QPA_PLATFORM="offscreen"),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        heard = b""
        try:
            connection, _ = listener.accept()
            with connection:
                connection.settimeout(30)
                heard = connection.recv(64)
        except OSError:
            pass
        finally:
            program.terminate()
            _, errors = program.communicate(timeout=30)
    check(heard.endswith(b";"), f"quorvel --radio tcp: the listener heard {heard!r}; stderr {errors!r}")
    check(program.returncode == 0, f"quorvel --radio tcp: status {program.returncode} after SIGTERM")


def check_metadata(root, app_id):
    desktop = os.path.join(root, f"usr/share/applications/{app_id}.desktop")
    result = run([tool("desktop-file-validate"), desktop])
    check(result.returncode == 0 and not result.stdout.strip(), f"desktop-file-validate: {result.stdout}")

    metainfo = os.path.join(root, f"usr/share/metainfo/{app_id}.metainfo.xml")
    result = run([tool("appstreamcli"), "validate", "--no-net", "--explain", metainfo])
    check(result.returncode == 0, f"appstreamcli validate: {result.stdout}{result.stderr}")

    for page in ("quorvel", "quorvel-sim"):
        path = os.path.join(root, f"usr/share/man/man1/{page}.1.gz")
        env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80", MAN_KEEP_STDERR="1")
        result = run([tool("man"), "--warnings", "-E", "UTF-8", "-l", path], env=env)
        check(result.returncode == 0 and not result.stderr.strip(), f"man -l {page}: {result.stderr}")
        check("NAME" in result.stdout and page in result.stdout, f"man -l {page} renders its name")
        # Long paths make justified text stretch the blanks of the line before them into gaps.
        body = result.stdout.strip().splitlines()[1:-1]
        gaps = [line for line in body if re.search(r"\S {3,}\S", line.strip())]
        check(not gaps, f"man -l {page} stretches lines at 80 columns: {gaps}")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--cpack", "--build", "--source", "--version", "--app-id", "--net-module"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    arch = run([tool("dpkg"), "--print-architecture"]).stdout.strip()

    work = tempfile.mkdtemp(prefix="quorvel-package-")
    try:
        out = os.path.join(work, "out")
        result = run([args.cpack, "-G", "DEB", "-B", out, "--config", os.path.join(args.build, "CPackConfig.cmake")],
                     cwd=args.build)
        if result.returncode != 0:
            sys.exit(f"cpack failed:\n{result.stdout}{result.stderr}")
        deb = os.path.join(out, f"quorvel_{args.version}_{arch}.deb")
        if not os.path.exists(deb):
            sys.exit(f"no {os.path.basename(deb)} among {os.listdir(out)}")

        check_control(deb, args.version, arch)
        root = os.path.join(work, "root")
        result = run([tool("dpkg-deb"), "-x", deb, root])
        if result.returncode != 0:
            sys.exit(f"dpkg-deb -x failed: {result.stderr}")
        check_files(root, args.app_id, args.net_module, args.version, os.path.realpath(args.build), os.path.realpath(args.source))
        check_metadata(root, args.app_id)
        check_programs(root, args.version)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAIL", failure, file=sys.stderr)
    print(f"{len(failures)} failed checks")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
