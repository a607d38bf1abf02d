"""Times one full recovery of a 64 MiB unit (upload to "all_done") and the simulated boot loader's
own TFTP client fetching the same image from the same server, and shows where the difference goes."""
import json
import os
import shutil
import sys
import tempfile
import time

repo = os.path.join(os.path.dirname(__file__), "..", "..", "stavenor", "tests")
sys.path[:0] = [os.path.join(repo, "e2e"), os.path.join(repo, "peers")]
from harness import Server  # noqa: E402
from test_recovery_requests import page, poll  # noqa: E402
import boot_console  # noqa: E402
import tftp_client  # noqa: E402

SIZE = 64 << 20


def main():
    work = tempfile.mkdtemp(prefix="recovery-bench-")
    try:
        unit = boot_console.BootConsole(os.path.join(work, "unit"), mode="uboot", flash_mb=64)
        image = os.path.join(work, "image.bin")
        with open(image, "wb") as f:
            f.write(os.urandom(SIZE))
        os.environ["STAVENOR_SERIAL_PORTS"] = unit.link
        with Server(args=("-l", "0x1")) as server:
            while not unit.lines[1:2]:
                time.sleep(0.05)
            time.sleep(0.2)
            page("portSelected", data=unit.link)
            poll()
            page(None, "-H", "Expect:", "-F", f"file=@{image}")
            start = time.perf_counter()
            poll()
            while True:
                answer = json.loads(poll())
                if answer["command"] in ("all_done", "error"):
                    break
                time.sleep(0.02)
            recovery = time.perf_counter() - start
            if answer["command"] != "all_done":
                raise SystemExit("the recovery failed")
            stamps = {}
            for when, line in unit.timeline:
                stamps.setdefault(line.split(" ")[0], []).append(when)
            fetch_start = time.perf_counter()
            with tftp_client.Client("127.0.0.1") as client:
                data, _ = client.fetch("cu_image", options=(("blksize", 1024),), timeout=5)
            fetch = time.perf_counter() - fetch_start
            assert len(data) == SIZE
        # The system copies run from the first after the system erase to "go 0".
        system_start = min(t for t in stamps["cp.w"] if t > stamps["erase"][-1])
        copies = stamps["go"][0] - system_start
        transfer = stamps["crc32"][0] - stamps["tftp"][0]
        print(f"full recovery   {recovery:6.2f} s")
        print(f"plain TFTP      {fetch:6.2f} s")
        print(f"ratio           {recovery / fetch:6.2f}")
        print(f"  tftp step     {transfer:6.2f} s (fetch, CRC of 64 MiB in the simulator)")
        print(f"  510 copies    {copies:6.2f} s ({copies / 510 * 1000:.1f} ms each)")
        print(f"  the rest      {recovery - transfer - copies:6.2f} s (prompts, erases, first boot, polling)")
        unit.go_away()
    finally:
        shutil.rmtree(work, True)


if __name__ == "__main__":
    main()
