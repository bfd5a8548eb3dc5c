#!/usr/bin/env python3
"""Plays someone who can write the plug-in folder: once watching FOLDER
(inotify), writes READY; then puts a symbolic link to TARGET in the place of
a new temporary file (~...) when it appears (MODE temporary) or is opened
again, by the check before the rename (checked), or, when a file is renamed
into FOLDER, moves FOLDER to FOLDER.real and the link in its place (folder).
Ends after one swap, or 20 s.
    swap_watcher.py FOLDER TARGET READY [MODE]"""
import ctypes
import os
import select
import struct
import sys
import time

folder, target, ready = sys.argv[1:4]
mode = sys.argv[4] if len(sys.argv) > 4 else "temporary"
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init1(os.O_NONBLOCK)
IN_OPEN, IN_CREATE, IN_MOVED_TO = 0x20, 0x100, 0x80
if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_OPEN | IN_CREATE | IN_MOVED_TO) < 0:
    sys.exit(2)
link = folder.rstrip("/") + ".link"
if mode == "folder":
    os.symlink(target, link)
with open(ready, "w") as f:
    f.write("watching\n")
opens = 0
deadline = time.time() + 20
while time.time() < deadline:
    if not select.select([fd], [], [], 0.2)[0]:
        continue
    data, at = os.read(fd, 65536), 0
    while at < len(data):
        _, mask, _, length = struct.unpack_from("iIII", data, at)
        name = data[at + 16:at + 16 + length].rstrip(b"\0").decode()
        at += 16 + length
        if mode == "folder":
            if mask & IN_MOVED_TO and not name.startswith("~"):
                os.rename(folder, folder.rstrip("/") + ".real")
                os.rename(link, folder)
                sys.exit(0)
            continue
        if not name.startswith("~"):
            continue
        opens += bool(mask & IN_OPEN)
        if mode == "temporary" and mask & IN_CREATE or mode == "checked" and opens == 2:
            path = os.path.join(folder, name)
            try:
                os.symlink(target, path + ".link")
                os.rename(path + ".link", path)
            except OSError:
                pass
            sys.exit(0)
sys.exit(1)
