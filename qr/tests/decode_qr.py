#!/usr/bin/env python3
"""decode_qr.py FOLDER: reads every NAME.bmp or NAME.png below FOLDER that has
a NAME.expected beside it with ZXing's C++ port, and checks that it holds
exactly one QR Code whose bytes are exactly those of NAME.expected.
Exit 0 when all do, 1 when one does not, 77 when the decoder is missing."""
import pathlib
import sys

try:
    import zxingcpp
    from PIL import Image
except ImportError as missing:
    print(f"SKIP: the QR Code decoder is not installed (python3-zxing-cpp, python3-pil): {missing}")
    sys.exit(77)

failed = 0
checked = 0
for expected in sorted(pathlib.Path(sys.argv[1]).rglob("*.expected")):
    pictures = [expected.with_suffix(s) for s in (".bmp", ".png") if expected.with_suffix(s).exists()]
    if not pictures:
        print(f"FAIL {expected}: no picture beside it")
        failed += 1
        continue
    want = expected.read_bytes()
    for picture in pictures:
        checked += 1
        with Image.open(picture) as image:
            found = [r for r in zxingcpp.read_barcodes(image.convert("RGB"))
                     if r.format == zxingcpp.BarcodeFormat.QRCode]
        if len(found) != 1:
            print(f"FAIL {picture}: {len(found)} QR Codes found, expected 1")
            failed += 1
        elif found[0].bytes != want:
            print(f"FAIL {picture}: decoded {found[0].bytes!r}, expected {want!r}")
            failed += 1
        else:
            print(f"ok {picture.name}: {len(want)} bytes decoded")
print(f"decode_qr: {checked} picture(s) read, {failed} failure(s)")
sys.exit(1 if failed else 0)
