#!/usr/bin/python3
"""Prints the folder in which Debian's python3 finds the modules installed into PREFIX.

    install_path.py PREFIX

/usr gives /usr/lib/python3/dist-packages, the user's ~/.local their own site-packages
(both on python3's path); any other prefix, /usr/local included, lib/python3.X/dist-packages
below it, as Debian lays out /usr/local (on the path for /usr/local, else via PYTHONPATH).
"""
import os
import site
import sys
import sysconfig

prefix = os.path.realpath(sys.argv[1])
if prefix == "/usr":
    path = sysconfig.get_path("platlib", "deb_system", vars={"platbase": "/usr", "base": "/usr"})
elif site.USER_BASE and prefix == os.path.realpath(site.USER_BASE):
    path = site.USER_SITE
else:
    local = sysconfig.get_path("platlib", "posix_local", vars={"platbase": "/usr", "base": "/usr"})
    path = prefix + local[len("/usr/local"):]
print(path)
