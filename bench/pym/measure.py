"""Ten alternating starts of pym and of a bare web view; medians of their times to the first
successful load of http://127.0.0.1:8765/ and their ratio."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 10
# pym waits 1000 ms after starting its server and 1500 ms before the first load, by design.
PYM_FIXED_WAITS = 2.5

build = sys.argv[1]
work = tempfile.mkdtemp(prefix="pym-bench-")
env = dict(os.environ, DISPLAY=":3", QTWEBENGINE_DISABLE_SANDBOX="1", QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu",
           LIBGL_ALWAYS_SOFTWARE="1", XDG_CONFIG_HOME=work, XDG_RUNTIME_DIR=work, XDG_DATA_HOME=work,
           XDG_CACHE_HOME=work)


def time_to_line(command, cwd, marker):
    """Seconds from starting command to the first output line holding marker; then ends it."""
    start = time.monotonic()
    proc = subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        deadline = start + 60
        for line in proc.stdout:
            if marker in line:
                return time.monotonic() - start
            if time.monotonic() > deadline:
                break
        raise SystemExit(f"{command[0]}: no {marker!r}")
    finally:
        proc.kill()
        proc.wait()


def serve_page():
    """The bare view's server: the stavenor of the run directory, as pym would start it."""
    server = subprocess.Popen(["./stavenor"], cwd=os.path.join(run_dir, "bin"), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    for _ in range(200):
        if subprocess.run(["curl", "-sf", "-o", "/dev/null", "http://127.0.0.1:8765/"]).returncode == 0:
            return server
        time.sleep(0.05)
    raise SystemExit("stavenor did not start")


run_dir = os.path.join(work, "run")
shutil.copytree(os.path.join(build, "pym", "run"), run_dir)
xvfb = subprocess.Popen(["Xvfb", ":3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-nolock"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(1)
pym_times, bare_times = [], []
try:
    for _ in range(RUNS):
        # pym starts its own server, so the bare view's server runs only while the bare view does.
        pym_times.append(time_to_line([os.path.join(run_dir, "pym")], run_dir,
                                      b"startup finished - wait to hide splash") - PYM_FIXED_WAITS)
        server = serve_page()
        try:
            bare_times.append(time_to_line([os.path.join(build, "bench", "pym", "bare_web_view")], work, b"loaded"))
        finally:
            server.terminate()
            server.wait()
finally:
    xvfb.terminate()
    xvfb.wait()
    shutil.rmtree(work, ignore_errors=True)

pym_median = statistics.median(pym_times)
bare_median = statistics.median(bare_times)
print("pym, less its fixed waits (s): " + " ".join(f"{t:.3f}" for t in pym_times))
print("bare web view (s):             " + " ".join(f"{t:.3f}" for t in bare_times))
print(f"median pym {pym_median:.3f} s, bare {bare_median:.3f} s, ratio {pym_median / bare_median:.2f}")
