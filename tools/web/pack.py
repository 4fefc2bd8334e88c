#!/usr/bin/env python3
"""pack.py OUT_DIR DATA_DIR [--code FILE...]: the browser page's data package.

Writes OUT_DIR/oargala.data, the files of DATA_DIR one after the other (the
soundtrack first, so that the page can decode it while the rest arrives), and
OUT_DIR/data.json, which describes it: each file's path in the page's file
system (data/NAME) and where its bytes lie, the package's size, and the
sizes of the page's code files given with --code (for its progress bar). The
page reads the description as data and copies the bytes into the show's
file system itself: nothing fetched is ever run as code, so the package
cannot carry any. Depends on Python 3 only.
"""
import json
import os
import sys


def main():
    args = sys.argv[1:]
    code = []
    if '--code' in args:
        code = args[args.index('--code') + 1:]
        args = args[:args.index('--code')]
    if len(args) != 2:
        sys.exit('usage: pack.py OUT_DIR DATA_DIR [--code FILE...]')
    out, data = args
    paths = []
    for root, dirs, names in os.walk(data):
        paths += [os.path.relpath(os.path.join(root, name), data) for name in names]
    # The soundtrack first: the page decodes it while the pictures arrive.
    paths.sort(key=lambda p: (not p.endswith('.mp3'), p))
    files, offset = [], 0
    with open(os.path.join(out, 'oargala.data'), 'wb') as package:
        for path in paths:
            with open(os.path.join(data, path), 'rb') as f:
                bytes_ = f.read()
            package.write(bytes_)
            files.append({'path': 'data/' + path.replace(os.sep, '/'), 'start': offset, 'end': offset + len(bytes_)})
            offset += len(bytes_)
    description = {
        'package': 'oargala.data',
        'size': offset,
        'files': files,
        'code': {os.path.basename(f): os.path.getsize(f) for f in code},
    }
    with open(os.path.join(out, 'data.json'), 'w') as f:
        json.dump(description, f, indent=0)
        f.write('\n')


if __name__ == '__main__':
    main()
