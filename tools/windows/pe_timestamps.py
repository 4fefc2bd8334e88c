#!/usr/bin/env python3
"""pe_timestamps.py STAMP FILE...: sets every time stamp a PE file (an exe or
a DLL) carries to STAMP (seconds since 1970, the release's SOURCE_DATE_EPOCH)
and puts its checksum right again, so that the Windows release is the same
bytes whenever and wherever it is built.

The linker writes the build time into the file header and the export
directory unless told otherwise; strip rewrites only the first. The cached
DLLs were linked when the cache was made, so their stamps would name the day
a machine built its cache. The resource and debug directories carry stamps
too (zero from our tools, but set all the same). Needs only Python 3."""
import struct
import sys


def stamp_file(path, stamp):
    data = bytearray(open(path, 'rb').read())
    pe = struct.unpack_from('<I', data, 0x3c)[0] if data[:2] == b'MZ' and len(data) >= 0x40 else 0
    if not pe or data[pe:pe + 4] != b'PE\0\0':
        raise ValueError(f'{path}: not a PE file')
    coff = pe + 4
    sections_count, = struct.unpack_from('<H', data, coff + 2)
    optional_size, = struct.unpack_from('<H', data, coff + 16)
    optional = coff + 20
    pe32_plus = struct.unpack_from('<H', data, optional)[0] == 0x20b
    directories = optional + (112 if pe32_plus else 96)
    directories_count, = struct.unpack_from('<I', data, directories - 4)
    sections = [struct.unpack_from('<IIII', data, optional + optional_size + 40 * i + 8)
                for i in range(sections_count)]   # virtual size, address, raw size, raw offset

    def offset(rva):
        for virtual_size, address, raw_size, raw_offset in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw_offset
        raise ValueError(f'{path}: address {rva:#x} is in no section')

    def directory(index):
        if index >= directories_count:
            return 0, 0
        return struct.unpack_from('<II', data, directories + 8 * index)

    struct.pack_into('<I', data, coff + 4, stamp)
    export, _ = directory(0)
    if export:
        struct.pack_into('<I', data, offset(export) + 4, stamp)
    resources, _ = directory(2)
    if resources:
        # Every table of the resource tree has a stamp: walk its subtables.
        root = offset(resources)
        pending = [root]
        while pending:
            table = pending.pop()
            struct.pack_into('<I', data, table + 4, stamp)
            named, numbered = struct.unpack_from('<HH', data, table + 12)
            for entry in range(named + numbered):
                target, = struct.unpack_from('<I', data, table + 16 + 8 * entry + 4)
                if target & 0x80000000:
                    pending.append(root + (target & 0x7fffffff))
    debug, debug_size = directory(6)
    if debug:
        for entry in range(debug_size // 28):
            struct.pack_into('<I', data, offset(debug) + 28 * entry + 4, stamp)

    # The checksum: 16-bit sum of the file with its own field taken as zero,
    # carries folded in, plus the file's length.
    checksum_at = optional + 64
    struct.pack_into('<I', data, checksum_at, 0)
    padded = data + b'\0' * (len(data) % 2)
    total = sum(struct.unpack_from(f'<{len(padded) // 2}H', padded))
    while total > 0xffff:
        total = (total & 0xffff) + (total >> 16)
    struct.pack_into('<I', data, checksum_at, total + len(data))
    with open(path, 'wb') as out:
        out.write(data)


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit('usage: pe_timestamps.py STAMP FILE...')
    for name in sys.argv[2:]:
        try:
            stamp_file(name, int(sys.argv[1]))
        except (OSError, ValueError, struct.error) as error:
            sys.exit(f'pe_timestamps: {error}')
