#!/usr/bin/env python3
"""The osslsigncode command a release signs with, and how its verification's
output is judged."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / 'tools' / 'release'))
from authenticode import Signer, sign_command, verification_problem  # noqa: E402

PEM = Signer(cert='cert.pem', key='key.pem')
# (case, signer, {option the command must hold: its value}, options it must not hold)
SIGN_CASES = [
    ('certificate and key in PEM, the commit\'s time',
     PEM, {'-certs': 'cert.pem', '-key': 'key.pem', '-time': '1700000000'},
     ['-pkcs12', '-readpass', '-ts', '-t']),
    ('PKCS#12, the password from standard input',
     Signer(pkcs12='release.p12', password_env='SIGN_PASSWORD'),
     {'-pkcs12': 'release.p12', '-readpass': '-', '-time': '1700000000'},
     ['-certs', '-key', '-pass']),
    ('a timestamp server only when named',
     Signer(cert='cert.pem', key='key.pem', timestamp_url='http://tsa.example/'),
     {'-time': '1700000000', '-ts': 'http://tsa.example/'}, []),
]

OK = 'Signature verification: ok'
FAILED = 'Signature verification: failed'
# (case, osslsigncode verify's output, the problem expected)
VERIFY_CASES = [
    ('one signature verified', f'Timestamp is not available\n\n{OK}\n\nSucceeded\n', ''),
    ('a digest that does not match', f'MISMATCH!!!\n{FAILED}\nFailed\n', FAILED),
    ('a nested signature that fails', f'{OK}\n{FAILED}\nSucceeded\n', FAILED),
    ('an unsigned program', 'Unable to extract existing signature\nFailed\n',
     'no signature verified'),
]


class AuthenticodeTest(unittest.TestCase):
    def test_sign_command(self):
        for case, signer, held, absent in SIGN_CASES:
            with self.subTest(case=case):
                command = sign_command(signer, 1700000000, Path('in.exe'), Path('out.exe'))
                for option, value in held.items():
                    self.assertIn(option, command, case)
                    self.assertEqual(command[command.index(option) + 1], value, case)
                for option in absent:
                    self.assertNotIn(option, command, case)
                self.assertNotIn('SIGN_PASSWORD', ' '.join(command), case)
                self.assertEqual(command[-4:], ['-in', 'in.exe', '-out', 'out.exe'], case)

    def test_verification_output(self):
        for case, output, expected in VERIFY_CASES:
            with self.subTest(case=case):
                self.assertEqual(verification_problem(output), expected, case)


if __name__ == '__main__':
    unittest.main()
