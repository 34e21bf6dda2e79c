"""Fixtures shared by the end-to-end tests: the test update server."""
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent / "server"))

from update_server import UpdateServer  # noqa: E402


@pytest.fixture
def start_update_server():
    """start(root, **options) -> a running UpdateServer; all are stopped at teardown."""
    servers = []

    def start(root, **options):
        server = UpdateServer(str(root), **options).start()
        servers.append(server)
        return server

    yield start
    for server in reversed(servers):
        server.stop()
