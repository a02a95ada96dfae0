"""Authenticode signatures of the Windows programs, made and checked with
osslsigncode (tools/release/build signs, tools/release/check-signature checks).

A signature made twice of one program with one key is the same bytes: RSA
signatures (PKCS#1 v1.5) hold no randomness, and the signing time, the one
date in the signature, is given (-time), the commit's time. A timestamp
server's answer holds its own time and serial number, so a package with one
differs from run to run.
"""

import os
import subprocess
from dataclasses import dataclass
from typing import Optional

OSSLSIGNCODE = 'osslsigncode'
# The name Windows shows for a signed program in its prompts.
DESCRIPTION = 'DeviDudi'
VERIFIED = 'Signature verification: ok'
NOT_VERIFIED = 'Signature verification: '


@dataclass(frozen=True)
class Signer:
    """Whose signature: a certificate and key in PEM, or one PKCS#12 file;
    the key's password, if any, in the environment variable password_env."""
    cert: Optional[str] = None
    key: Optional[str] = None
    pkcs12: Optional[str] = None
    password_env: Optional[str] = None
    timestamp_url: Optional[str] = None


def sign_command(signer, epoch, program, signed):
    """osslsigncode's command line that writes program, signed, to signed.
    The password is read from standard input (-readpass -), never named on a
    command line that any user of the machine can list."""
    command = [OSSLSIGNCODE, 'sign']
    if signer.pkcs12:
        command += ['-pkcs12', signer.pkcs12]
    else:
        command += ['-certs', signer.cert, '-key', signer.key]
    if signer.password_env:
        command += ['-readpass', '-']
    command += ['-h', 'sha256', '-n', DESCRIPTION, '-time', str(epoch)]
    if signer.timestamp_url:
        command += ['-ts', signer.timestamp_url]  # RFC 3161
    return command + ['-in', str(program), '-out', str(signed)]


def password(signer):
    """The key's password from the environment, or None; an error text when
    the variable named is not set."""
    if not signer.password_env:
        return None, ''
    value = os.environ.get(signer.password_env)
    if value is None:
        return None, f'the signing password variable {signer.password_env} is not set'
    return value, ''


def sign(signer, epoch, program, signed):
    """Signs program into signed; an empty text, or what went wrong."""
    secret, problem = password(signer)
    if problem:
        return problem
    try:
        result = subprocess.run(sign_command(signer, epoch, program, signed),
                                input=secret, capture_output=True, text=True)
    except FileNotFoundError:
        return f'{OSSLSIGNCODE} is not installed (the Debian package osslsigncode)'
    if result.returncode != 0:
        return f'{OSSLSIGNCODE} could not sign {program.name}: {result.stderr.strip()[-2000:]}'
    return ''


def verification_problem(output):
    """osslsigncode verify's output judged: an empty text when every signature
    it found verified, else the lines that say why not. Its exit status is not
    enough: it is 0 too when a timestamp cannot be verified."""
    verdicts = [line.strip() for line in output.splitlines()
                if line.strip().startswith(NOT_VERIFIED)]
    if not verdicts:
        return 'no signature verified'
    failed = [line for line in verdicts if line != VERIFIED]
    return '; '.join(failed)
