"""Times curl fetching one 64 MiB image with blksize 1100 from the link driver's TFTP server
(port 69) and from in.tftpd (port 6969). Five rounds each, alternating; the best and the median of each are compared."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SIZE = 64 << 20
ROUNDS = 5


def fetch(url, out):
    start = time.perf_counter()
    subprocess.run(["curl", "-s", "--max-time", "120", "--tftp-blksize", "1100", "-o", out, url], check=True)
    elapsed = time.perf_counter() - start
    if os.path.getsize(out) != SIZE:
        raise SystemExit(f"{url}: {os.path.getsize(out)} bytes instead of {SIZE}")
    os.unlink(out)
    return elapsed


def main(driver):
    work = tempfile.mkdtemp(prefix="tftp-bench-")
    os.chmod(work, 0o755)
    image = os.path.join(work, "cu_image")
    with open(image, "wb") as f:
        f.write(os.urandom(SIZE))
    os.chmod(image, 0o644)
    ours = subprocess.Popen([driver, "tftp", image], stdout=subprocess.PIPE)
    # "-a :6969": the daemon will not resolve 127.0.0.1 in a namespace with loopback only.
    pid_file = os.path.join(work, "tftpd.pid")
    hpa = subprocess.Popen(["in.tftpd", "-4", "-L", "-u", "root", "-a", ":6969", "-P", pid_file, "-s", work])
    try:
        ours.stdout.readline()
        time.sleep(0.3)
        out = os.path.join(work, "out")
        times = {"stavenor": [], "tftpd-hpa": []}
        for _ in range(ROUNDS):
            times["stavenor"].append(fetch("tftp://127.0.0.1/cu_image", out))
            times["tftpd-hpa"].append(fetch("tftp://127.0.0.1:6969/cu_image", out))
        rate = {name: SIZE / min(t) / 1e6 for name, t in times.items()}
        median = {name: SIZE / statistics.median(t) / 1e6 for name, t in times.items()}
        for name, t in times.items():
            print(f"{name:10s} best {min(t):.2f} s ({rate[name]:.1f} MB/s), median {median[name]:.1f} MB/s, rounds "
                  + ", ".join(f"{x:.2f}" for x in t))
        print(f"ratio stavenor / tftpd-hpa: best {rate['stavenor'] / rate['tftpd-hpa']:.2f}, "
              f"median {median['stavenor'] / median['tftpd-hpa']:.2f}")
    finally:
        for proc in (ours, hpa):
            proc.terminate()
            proc.wait(10)
        # The daemon may run on in a child of its own: end it by the pid it wrote.
        if os.path.exists(pid_file):
            try:
                os.kill(int(open(pid_file).read()), 15)
            except (ProcessLookupError, ValueError):
                pass
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
