"""Runs a command with one system call answered by an error number, as some container runtimes and
service managers answer calls they do not know: deny_syscall.py NAME ERRNO COMMAND [ARG...].

Run it with Debian's own /usr/bin/python3, which has the python3-seccomp module."""
import errno
import os
import sys

import seccomp

name, error, *command = sys.argv[1:]
rules = seccomp.SyscallFilter(defaction=seccomp.ALLOW)
rules.add_rule(seccomp.ERRNO(getattr(errno, error)), name)
rules.load()
os.execvp(command[0], command)
