"""A free local port for `vellox --remote`, and the wait until it answers there."""

import socket
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connect(port, process, seconds=60, timeout=30):
    """A connection to the remote control once it listens; fails if vellox ends first."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"vellox ended with status {process.returncode}")
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=timeout)
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("the remote control did not answer")
