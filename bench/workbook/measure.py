# Runs a command once with a file on standard input and prints its wall time
# and CPU time (user + sys) in seconds and its peak RSS in kB, measured to the
# microsecond (GNU time rounds to 10 ms, too coarse for small tables).
#
#   python3 measure.py INPUT COMMAND [ARGS...]
import os
import subprocess
import sys
import tempfile
import time

with open(sys.argv[1], "rb") as stdin, tempfile.TemporaryFile() as errors:
    start = time.monotonic()
    child = subprocess.Popen(sys.argv[2:], stdin=stdin, stdout=subprocess.DEVNULL, stderr=errors)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        errors.seek(0)
        sys.exit(f"{sys.argv[2]} failed: {errors.read().decode('utf-8', 'replace')}")
print(f"{wall:.4f} {usage.ru_utime + usage.ru_stime:.4f} {usage.ru_maxrss}")
