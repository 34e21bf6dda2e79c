"""A self-signed certificate for 127.0.0.1 and localhost, made with openssl.

Made at test time rather than committed, so no key lives in the tree and it
never expires between runs.
"""
import os
import ssl
import subprocess
import tempfile

CERT_NAME = "cert.pem"
KEY_NAME = "key.pem"


def ensure_certificate(cert_dir):
    """(cert path, key path) in `cert_dir`, generated when either is missing.

    The certificate is its own CA (basicConstraints CA:TRUE), so a client
    can verify it by loading the certificate file as its CA file.
    """
    os.makedirs(cert_dir, exist_ok=True)
    cert_path = os.path.join(cert_dir, CERT_NAME)
    key_path = os.path.join(cert_dir, KEY_NAME)
    if os.path.isfile(cert_path) and os.path.isfile(key_path):
        return cert_path, key_path
    # Written under temporary names first so a half-written file is never
    # taken for a finished one.
    with tempfile.TemporaryDirectory(dir=cert_dir) as scratch:
        new_cert = os.path.join(scratch, CERT_NAME)
        new_key = os.path.join(scratch, KEY_NAME)
        subprocess.run(
            [
                "openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
                "-days", "30", "-subj", "/CN=127.0.0.1",
                "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-keyout", new_key, "-out", new_cert,
            ],
            check=True,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE,
            timeout=60,
        )
        os.replace(new_key, key_path)
        os.replace(new_cert, cert_path)
    return cert_path, key_path


def server_context(cert_path, key_path):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert_path, key_path)
    return context
