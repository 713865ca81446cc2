"""Reading a submission, which is hostile input: a folder or a .zip, .tar.gz or .tar archive.

Only the files that hold regions are read, and of them only what the markers enclose is
used. An archive is refused whole when any member's name climbs out (.., an absolute path, a
drive), when a link leads outside it, or when it is too large to be a student copy; a folder
is refused when a file it would be read through is a link leading outside it."""

import os
import posixpath
import stat
import tarfile
import zipfile

MAX_TOTAL_BYTES = 256 * 1024 * 1024
MAX_FILES = 50000
MAX_FILE_BYTES = 2 * 1024 * 1024
MARK_OF_A_COPY = ("CMakeLists.txt", "exercises/exercises.txt")


class Refused(Exception):
    pass


def _unsafe_name(name):
    if name.startswith(("/", "\\")) or (len(name) > 1 and name[1] == ":"):
        return "an absolute path"
    parts = name.replace("\\", "/").split("/")
    if ".." in parts:
        return "'..'"
    return None


def _copy_root(names):
    """The folder inside an archive or folder listing that holds the copy ('' for the top)."""
    candidates = sorted({n[: -len(mark)] for n in names for mark in MARK_OF_A_COPY
                         if n == mark or n.endswith("/" + mark)}, key=len)
    if not candidates or candidates[0].count("/") > 2:
        raise Refused("not a student copy: it holds no CMakeLists.txt and "
                      "exercises/exercises.txt")
    return candidates[0]


def _decode(name, data):
    if len(data) > MAX_FILE_BYTES:
        raise Refused(f"{name} is larger than a source file of a student copy")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        raise Refused(f"{name} is not UTF-8 text")


def _read_zip(path, wanted):
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        if len(infos) > MAX_FILES or sum(i.file_size for i in infos) > MAX_TOTAL_BYTES:
            raise Refused("too large to be a student copy")
        for info in infos:
            why = _unsafe_name(info.filename)
            if why:
                raise Refused(f"the archive names a file by {why}: {info.filename}")
            if stat.S_ISLNK(info.external_attr >> 16):
                raise Refused(f"the archive holds a link: {info.filename}")
        names = {i.filename.rstrip("/"): i for i in infos}
        root = _copy_root(names)
        found = {}
        for path in wanted:
            info = names.get(root + path)
            if info is not None and not info.is_dir():
                with archive.open(info) as member:
                    found[path] = _decode(path, member.read(MAX_FILE_BYTES + 1))
        return found


def _read_tar(path, wanted):
    with tarfile.open(path) as archive:
        members = archive.getmembers()
        if len(members) > MAX_FILES or sum(m.size for m in members) > MAX_TOTAL_BYTES:
            raise Refused("too large to be a student copy")
        for member in members:
            why = _unsafe_name(member.name)
            if why:
                raise Refused(f"the archive names a file by {why}: {member.name}")
            if member.issym() or member.islnk():
                target = posixpath.normpath(posixpath.join(posixpath.dirname(member.name),
                                                           member.linkname)) \
                    if member.issym() else posixpath.normpath(member.linkname)
                if member.linkname.startswith("/") or target.startswith(".."):
                    raise Refused(f"the archive holds a link leading outside it: {member.name}")
        names = {m.name.rstrip("/"): m for m in members}
        root = _copy_root(names)
        found = {}
        for path in wanted:
            member = names.get(root + path)
            if member is None:
                continue
            if not member.isfile():
                raise Refused(f"{path} in the archive is not a plain file")
            found[path] = _decode(path, archive.extractfile(member).read(MAX_FILE_BYTES + 1))
        return found


def _read_folder(folder, wanted):
    top = os.path.realpath(folder)
    names, total = [], 0
    for directory, _, files in os.walk(top):
        for name in files:
            full = os.path.join(directory, name)
            names.append(os.path.relpath(full, top).replace(os.sep, "/"))
            total += os.lstat(full).st_size
            if len(names) > MAX_FILES or total > MAX_TOTAL_BYTES:
                raise Refused("too large to be a student copy")
    root = _copy_root(names)
    found = {}
    for path in wanted:
        full = os.path.join(top, root + path)
        if not os.path.lexists(full):
            continue
        real = os.path.realpath(full)
        if os.path.commonpath([real, top]) != top:
            raise Refused(f"{path} is a link leading outside the submission")
        if not os.path.isfile(real):
            raise Refused(f"{path} is not a plain file")
        with open(real, "rb") as f:
            found[path] = _decode(path, f.read(MAX_FILE_BYTES + 1))
    return found


def read_submission(path, wanted):
    """path -> text for each of the wanted files the submission holds; raises Refused."""
    if os.path.isdir(path):
        return _read_folder(path, wanted)
    if not os.path.isfile(path):
        raise Refused(f"{path}: no such folder or archive")
    if os.path.getsize(path) > MAX_TOTAL_BYTES:
        raise Refused("too large to be a student copy")
    try:
        if zipfile.is_zipfile(path):
            return _read_zip(path, wanted)
        if tarfile.is_tarfile(path):
            return _read_tar(path, wanted)
    except (zipfile.BadZipFile, tarfile.TarError, EOFError, OSError) as error:
        raise Refused(f"the archive cannot be read: {error}")
    raise Refused("not a folder, a .zip or a .tar.gz archive")
