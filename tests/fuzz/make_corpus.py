#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets from the reference cases.

member_line_fuzz: delimiter code, column map and three assumption values of a
case, then a few of its member lines. run_fuzz: the case's index (the plans
are taken in name order), a few patches of hostile values, then a few of its
member lines. Run it again after the reference cases change."""
import glob
import json
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
golden = os.path.join(here, '..', 'golden')
cases = sorted(glob.glob(os.path.join(golden, '*.case.json')))


def member_bytes(case):
    # the case files hold bytes as characters U+0000..U+00FF
    return case['memberFile'].encode('latin-1')


def chunks(data, lines_per_chunk):
    lines = data.splitlines(keepends=True)
    for i in range(0, len(lines), lines_per_chunk):
        yield b''.join(lines[i:i + lines_per_chunk])


def write(target, name, data):
    folder = os.path.join(here, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(data)


def patch(selector, element, value):
    return struct.pack('<BHB', selector, element, 0) + struct.pack('<d', value)


for index, path in enumerate(cases):
    case = json.load(open(path))
    stem = os.path.basename(path)[:-len('.case.json')]
    column_map = bytes((v if -128 <= v <= 127 else 0) & 0xFF for v in case['columnMap'][1:21])
    header = (struct.pack('<h', case['delimiterCode']) + column_map +
              struct.pack('<ddd', case['demographicParameters'][4],
                          case['retirementRates'][26], case['planParameters'][5]))
    for n, chunk in enumerate(chunks(member_bytes(case), 6)):
        write('member_line_fuzz', f'{stem}-{n:02d}', header + chunk)

    file_bytes = member_bytes(case)
    lines = list(chunks(file_bytes, 12))
    write('run_fuzz', f'{stem}-plain', bytes([index, 0]) + lines[0])
    # planParameters 13 guarantee period, 5 averaging years; retirementFactors
    # 1 first age; demographicParameters 2 disabled age addition, 4 spouse
    # age difference
    hostile = [patch(2, 13, 25.0), patch(2, 5, 70.0), patch(3, 1, 100.0),
               patch(4, 2, -200.0), patch(4, 4, 50.0)]
    write('run_fuzz', f'{stem}-hostile',
          bytes([index, len(hostile)]) + b''.join(hostile) + lines[-1])
    nan = float('nan')
    nans = [patch(2, 13, nan), patch(2, 5, nan), patch(6, 26, nan), patch(9, 46, nan)]
    write('run_fuzz', f'{stem}-nan', bytes([index, len(nans)]) + b''.join(nans) + lines[0])
